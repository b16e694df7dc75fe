#pragma once
// The program's own icons: the SVG pictures of data/icons/, compiled into the UI
// library as resources under ":/icons/".  Qt draws them at whatever size a control
// asks for through its SVG icon engine (the iconengines plugin that comes with the
// QtSvg library); without that plugin the icons are empty.
#include <QIcon>
#include <QString>

namespace k2 {

// The icon drawn in data/icons/<name>.svg.
inline QIcon OwnIcon(const char* name) {
  return QIcon(QStringLiteral(":/icons/") + QString::fromLatin1(name) + QStringLiteral(".svg"));
}

// The application icon: the windows' icon, the about box, the desktop's menu.
inline QIcon AppIcon() { return OwnIcon("kurvino2"); }

}  // namespace k2
