#pragma once

#include <QCoreApplication>

class QFrame;
class QHBoxLayout;
class QLabel;
class QVBoxLayout;
class QWidget;

namespace YUILIB {
class YToolButton;
}

// The frame dialog's child widgets, laid out as its designer form was. The
// object names are what "CorvaneDialog.qss" addresses.
class YFrameDialogForm
{
    Q_DECLARE_TR_FUNCTIONS(YFrameDialog)

public:
    void setupUi(QWidget *dialog);
    void retranslateUi(QWidget *dialog);

    QVBoxLayout *verticalLayout = nullptr;
    QFrame *header = nullptr;
    QHBoxLayout *horizontalLayout_2 = nullptr;
    QLabel *label = nullptr;
    YUILIB::YToolButton *max = nullptr;
    YUILIB::YToolButton *close = nullptr;
    QFrame *centralFrame = nullptr;
    QFrame *notifyFrame = nullptr;
    QHBoxLayout *horizontalLayout_4 = nullptr;
    YUILIB::YToolButton *neverNotify = nullptr;
    QFrame *buttonGroup = nullptr;

private:
    void setupHeader(QWidget *dialog);
    void setupNotifyLine(QWidget *dialog);
};
