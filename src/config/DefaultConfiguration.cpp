#include "config/DefaultConfiguration.h"

#include <QHash>

QList<Binding> DefaultConfiguration::bindings(DeviceKind kind) {
    QList<Binding> result;
    result.reserve(kind.keyCount() + static_cast<qsizetype>(kind.otherControls().size()));
    for (int key = 1; key <= kind.keyCount(); ++key) {
        result.append(Binding(key, kind.controlName(key)));
    }
    for (const PadControl& control : kind.otherControls()) {
        result.append(Binding(control.number, kind.controlName(control.number)));
    }
    return result;
}

QList<Binding> DefaultConfiguration::merging(const QList<Binding>& saved,
                                             const QList<Binding>& defaults) {
    QHash<int64_t, qsizetype> firstSaved;
    firstSaved.reserve(saved.size());
    for (qsizetype index = 0; index < saved.size(); ++index) {
        if (!firstSaved.contains(saved[index].id)) {
            firstSaved.insert(saved[index].id, index);
        }
    }
    QList<Binding> result;
    result.reserve(defaults.size());
    for (const Binding& fallback : defaults) {
        const auto found = firstSaved.constFind(fallback.id);
        result.append(found == firstSaved.cend() ? fallback : saved[*found]);
    }
    return result;
}

QuorvelScene DefaultConfiguration::scene(DeviceKind kind) {
    return QuorvelScene{QUuid::createUuid(), bindings(kind), std::nullopt};
}

SavedConfiguration DefaultConfiguration::configuration(DeviceKind kind) {
    QuorvelScene first = scene(kind);
    const QUuid active = first.id;
    return SavedConfiguration{{std::move(first)}, active};
}
