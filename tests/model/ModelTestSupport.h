#pragma once

#include "model/ModelDirectory.h"
#include "support/SettingsFiles.h"

#include <QStringList>

#include <memory>

class Model;

// A list of models, seen by the scripting registry for as long as the returned pointer lives
// (the registry holds it weakly).
class TestDirectory : public ModelDirectory {
public:
    static std::shared_ptr<TestDirectory> install();
    QList<const Model*> models() const override { return list; }
    QList<const Model*> list;
};

// The names of the model's signals in the order they were emitted.
class SignalLog {
public:
    explicit SignalLog(Model& model);
    int count(const char* name) const { return static_cast<int>(names.count(name)); }
    QStringList names;
};
