#include "core/app/userinterface.h"

#include "core/app/appcontext.h"

IUserInterface& ui() {
    return App().ui();
}

void setUi(IUserInterface* u) {
    App().setUi(u);
}
