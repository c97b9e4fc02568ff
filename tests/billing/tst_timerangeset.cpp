#include "core/billing/timerangeset.h"

#include <QRandomGenerator>
#include <QTest>

#include <bitset>

using namespace Qt::StringLiterals;

namespace {

// Reference model: a bitmap over [-Offset, Offset).
constexpr int Offset = 128;
using Bits = std::bitset<2 * Offset>;

Bits bitsOf(qint64 start, qint64 end) {
    Bits b;
    for (qint64 v = start; v < end; ++v)
        b.set(size_t(v + Offset));
    return b;
}

Bits shifted(const Bits& b, int d) {
    return d >= 0 ? (b << size_t(d)) : (b >> size_t(-d));
}

QString describe(const TimeRangeSet& s) {
    QStringList parts;
    for (int i = 0; i < s.RangeCount(); ++i)
        parts << u"[%1,%2)"_s.arg(s.RangeAt(i).start).arg(s.RangeAt(i).end);
    return parts.join(QLatin1Char(' '));
}

// The set must match the model bit for bit and be in canonical form.
void expectSame(const TimeRangeSet& s, const Bits& b, const QString& step) {
    for (int v = -Offset; v < Offset; ++v) {
        if (s.Contains(v) != b.test(size_t(v + Offset)))
            QFAIL(qPrintable(u"%1: value %2 in %3"_s.arg(step).arg(v).arg(describe(s))));
    }
    QCOMPARE(s.Length(), qint64(b.count()));
    QCOMPARE(s.IsEmpty(), b.none());
    for (int i = 0; i < s.RangeCount(); ++i) {
        QVERIFY(s.RangeAt(i).start < s.RangeAt(i).end);
        if (i > 0)
            QVERIFY2(s.RangeAt(i - 1).end < s.RangeAt(i).start, qPrintable(describe(s)));
    }
    if (b.any()) {
        int first = -1, last = -1;
        for (int v = 0; v < 2 * Offset; ++v)
            if (b.test(size_t(v))) {
                if (first < 0)
                    first = v;
                last = v;
            }
        QCOMPARE(s.Start(), qint64(first - Offset));
        QCOMPARE(s.End(), qint64(last - Offset + 1));
    }
}

// A random set of up to four ranges inside [-50, 50), built with Union.
void randomSet(QRandomGenerator& rng, TimeRangeSet& s, Bits& b) {
    s.Clear();
    b.reset();
    const int n = rng.bounded(5);
    for (int i = 0; i < n; ++i) {
        const int a = rng.bounded(-50, 50);
        const int e = a + rng.bounded(-2, 25); // sometimes empty or reversed
        s.Union(TimeRangeSet(a, e));
        if (e > a)
            b |= bitsOf(a, e);
    }
}

} // namespace

class TestTimeRangeSet : public QObject {
    Q_OBJECT
private slots:
    // What the model below cannot reach: a copy shares nothing with its original, and byte
    // counts near the top of 32 bits shift without overflow.
    void copiesAndLargeValues() {
        TimeRangeSet s(10, 20);
        s.Union(TimeRangeSet(30, 40));
        TimeRangeSet copy(s);
        copy.Subtract(TimeRangeSet(0, 100));
        QVERIFY(copy.IsEmpty());
        QCOMPARE(s.Length(), 20);
        TimeRangeSet big(0, 2147483647);
        big.Shift(2147483647);
        QCOMPARE(big.End(), qint64(4294967294LL));
        QCOMPARE(big.Length(), qint64(2147483647));
    }

    void matchesBitmapModel() {
        QRandomGenerator rng(20240517);
        for (int round = 0; round < 2000; ++round) {
            TimeRangeSet s, o;
            Bits sb, ob;
            randomSet(rng, s, sb);
            expectSame(s, sb, u"build"_s);
            for (int step = 0; step < 8; ++step) {
                randomSet(rng, o, ob);
                const QString what = u"round %1 step %2"_s.arg(round).arg(step);
                switch (rng.bounded(6)) {
                case 0: {
                    const bool left = s.Intersect(o);
                    sb &= ob;
                    QCOMPARE(left, sb.any());
                    break;
                }
                case 1:
                    s.Union(o);
                    sb |= ob;
                    break;
                case 2:
                    s.Subtract(o);
                    sb &= ~ob;
                    break;
                case 3: {
                    // Keep the model inside its bitmap: shift only when there is room.
                    const int d = rng.bounded(-20, 21);
                    if (s.IsEmpty() || (s.Start() + d >= -Offset && s.End() + d <= Offset)) {
                        s.Shift(d);
                        sb = shifted(sb, d);
                    }
                    break;
                }
                case 4: {
                    TimeRangeSet copy;
                    copy.Assign(o);
                    s = copy;
                    sb = ob;
                    break;
                }
                default:
                    s.Normalize();
                    break;
                }
                expectSame(s, sb, what);
                if (QTest::currentTestFailed())
                    return;
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestTimeRangeSet)
#include "tst_timerangeset.moc"
