#include "PageDialogs.h"

#include "LogWriter.h"

#include <QDialog>
#include <QPointer>
#include <QWidget>

#include <list>
#include <utility>

namespace {

struct OpenDialog
{
    QPointer<QObject> page;
    QString kind;
    QPointer<QObject> dialog; // or, with byOwner, the widget whose child dialog it is
    bool byOwner = false;
    bool closing = false;
};

std::list<OpenDialog>& openDialogs()
{
    static std::list<OpenDialog> dialogs;
    return dialogs;
}

QList<QPointer<QObject>>& waitingForDeletion()
{
    static QList<QPointer<QObject>> objects;
    return objects;
}

// Handed to deleteWhenIdle and not yet gone.
QList<QPointer<QObject>>& deleting()
{
    static QList<QPointer<QObject>> objects;
    return objects;
}

bool isWithin(const QObject* object, const QObject* scope)
{
    for (; object; object = object->parent()) {
        if (object == scope)
            return true;
    }
    return false;
}

// The dialog the entry stands for, once it is shown.
QWidget* shownDialog(const OpenDialog& open)
{
    if (!open.byOwner)
        return qobject_cast<QWidget*>(open.dialog);
    for (QDialog* dialog : open.dialog ? open.dialog->findChildren<QDialog*>() : QList<QDialog*>()) {
        if (dialog->isVisible())
            return dialog;
    }
    return nullptr;
}

} // namespace

PageDialogs::Running::Running(QObject* page, const QString& kind, QObject* dialog, bool byOwner)
{
    openDialogs().push_back({ page, kind, dialog, byOwner });
}


PageDialogs::Running::~Running()
{
    // Dialogs nest, so the one that ends is always the innermost.
    openDialogs().pop_back();
    if (!openDialogs().empty())
        return;
    const QList<QPointer<QObject>> objects = std::exchange(waitingForDeletion(), {});
    for (QObject* object : objects) {
        if (object)
            object->deleteLater();
    }
}

int PageDialogs::closeWithin(QObject* scope)
{
    int closed = 0;
    for (OpenDialog& open : openDialogs()) {
        QWidget* dialog = shownDialog(open);
        if (open.closing || !dialog || !isWithin(open.page, scope))
            continue;
        open.closing = true;
        log("Page dialog closed : ", open.kind);
        QMetaObject::invokeMethod(dialog, "reject");
        ++closed;
    }
    return closed;
}

void PageDialogs::placeOver(QWidget* window)
{
    for (const OpenDialog& open : openDialogs()) {
        QWidget* dialog = shownDialog(open);
        if (open.closing || !dialog || !isWithin(open.page, window))
            continue;
        QWidget* shown = dialog->window();
        shown->move(window->geometry().center() - shown->rect().center());
        shown->raise();
        shown->activateWindow();
    }
}

bool PageDialogs::anyRunning()
{
    return !openDialogs().empty();
}

bool PageDialogs::isDeleting(const QObject* page)
{
    deleting().removeAll(nullptr);
    for (const QObject* object : qAsConst(deleting())) {
        if (isWithin(page, object))
            return true;
    }
    return false;
}

void PageDialogs::deleteWhenIdle(QObject* object)
{
    deleting().removeAll(nullptr);
    deleting().append(object);
    if (anyRunning())
        waitingForDeletion().append(object);
    else
        object->deleteLater();
}
