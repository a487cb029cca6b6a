#pragma once

// Where the application's resource folder is: the one VANTOR_RESOURCE_DIR
// names, else "resources" next to the executable (the build tree), else
// ../share/vantor (an installation).

#include <QString>

namespace appResources {

constexpr const char* kFolderVariable = "VANTOR_RESOURCE_DIR";

QString folder();
// A file or folder in it, e.g. "sounds/click1.wav".
QString path(const QString& relative);

} // namespace appResources
