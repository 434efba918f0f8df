// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/kavrenapplication.h"

#include <QIcon>

#include "app/apptitle.h"
#include "app/errordisplay.h"
#include "app/faces.h"
#include "app/programicon.h"

static void initKavrenResources() {
    Q_INIT_RESOURCE(kavren);
}

namespace kavren::app {

namespace {

QIcon applicationIcon() {
    initKavrenResources();
    return programIcon({32, 16});
}

}  // namespace

KavrenApplication::KavrenApplication(int& argc, char** argv) : QApplication(argc, argv) {
    const QByteArray path = QCoreApplication::applicationFilePath().toLocal8Bit();
    // The application name, not the display name: Qt appends a display name
    // to every window caption, and the main window's caption must stay as
    // it is. Message boxes take the title from applicationDisplayName(),
    // which falls back to this name.
    setApplicationName(QString::fromLocal8Bit(applicationTitle(
        std::string_view(path.constData(), static_cast<std::size_t>(path.size())))));
    setWindowIcon(applicationIcon());
    // Before any window: the first one to ask for a face loads the list.
    registerEmbeddedFaces();
}

KavrenApplication::~KavrenApplication() = default;

bool KavrenApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        showCurrentException();
        return false;
    }
}

}  // namespace kavren::app
