#pragma once

#include <string>

#include "Object.h"
#include "RuntimeException.h"

// The test a caller makes before it touches an object it looked up: a member access through an
// absent object raises NilObjectException.
template <class T>
T& NotNil(const Ref<T>& object, const char* what = "an object") {
    if (!object) throw NilObjectException(std::string(what) + " is nil");
    return *object;
}
