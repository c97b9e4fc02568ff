#pragma once
// The result type of edits lives with the application shell, shared by customers and billing.
#include "core/app/editresult.h"
