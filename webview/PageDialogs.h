#pragma once

#include <QString>

class QObject;
class QWidget;

// The questions a page puts to its user (JavaScript dialogs, credentials,
// protocol handlers, the render-process prompt) run nested event loops with
// the page and its view further up the stack. A host command that navigates
// or replaces a page closes that page's questions first, with the answer
// closing gives, and a view is deleted only once no question runs any more:
// deleted inside such a loop, it would pull the page out from under it.
class PageDialogs
{
public:
    // Runs `dialog` (a QDialog or YFrameDialog: anything with exec() and a
    // reject() slot) modally for `page`; returns what exec() returned.
    // A page on its way out asks nobody: the answer is the one closing gives.
    template <typename Dialog>
    static int exec(QObject* page, const QString& kind, Dialog& dialog)
    {
        if (isDeleting(page))
            return 0;
        const Running running(page, kind, &dialog);
        return dialog.exec();
    }

    // Runs `ask`, a question the toolkit builds and runs itself as a dialog
    // child of `owner`; returns what it returned.
    template <typename Ask>
    static auto call(QObject* page, const QString& kind, QWidget* owner, Ask ask) -> decltype(ask())
    {
        if (isDeleting(page))
            return {};
        const Running running(page, kind, owner, true);
        return ask();
    }

    // Closes the open questions of every page at or below `scope`, logging
    // one line for each; returns how many were closed.
    static int closeWithin(QObject* scope);
    // Moves the open questions of the pages below `window` over it.
    static void placeOver(QWidget* window);
    static bool anyRunning();
    // Deletes `object` from the event loop once no question runs.
    static void deleteWhenIdle(QObject* object);

private:
    static bool isDeleting(const QObject* page);

    struct Running
    {
        Running(QObject* page, const QString& kind, QObject* dialog, bool byOwner = false);
        ~Running();
    };
};
