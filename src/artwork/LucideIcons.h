#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Where the Lucide icon set (one SVG per icon name, plus its licence) is found at run time.
// Folders are tried in this order, the first that holds the wanted file wins:
//   1. $QUORVEL_LUCIDE_DIR, when set (packagers, tests);
//   2. <folder of the executable>/../share/quorvel/Lucide (an installed, relocatable prefix;
//      also the build folder's own copy for programs under build/tests and build/bench);
//   3. the build folder's copy, fetched at configure time;
//   4. the installation prefix chosen at configure time.
// Stateless; safe from any thread.
class LucideIcons {
public:
    // The candidate folders, in lookup order (existing or not).
    static QStringList searchFolders();

    // The SVG file of icon `name` ("volume-2"), or absent when no folder has it. Names other
    // than lower-case letters, digits and hyphens are never looked up, so a name can not
    // reach outside the icon folders.
    static std::optional<QString> iconPath(const QString& name);

    // The icon set's licence, shipped as "Lucide-LICENSE.txt"; absent when missing.
    static std::optional<QString> licensePath();

    static QString licenseFileName() { return QStringLiteral("Lucide-LICENSE.txt"); }
};
