#pragma once

#include <QList>

class Model;

// The set of device models the program knows, as seen by code that must look across devices
// (screen-button identifiers are unique over all of them). The device store implements it.
//
// Main thread only. The pointers are borrowed: they stay valid for the duration of the call
// that asked for them and must not be kept.
class ModelDirectory {
public:
    virtual ~ModelDirectory() = default;

    // Every model, in the directory's order.
    virtual QList<const Model*> models() const = 0;
};
