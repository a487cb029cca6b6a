#pragma once

// Where the application's resource folder is: "resources" next to the
// executable (the build tree), else ../share/vantor (an installation).

#include <QString>

namespace appResources {

QString folder();
// A file or folder in it, e.g. "sounds/click1.wav".
QString path(const QString& relative);

} // namespace appResources
