#include "YFrameDialogForm.h"

#include "YToolButton.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpacerItem>
#include <QVBoxLayout>

void YFrameDialogForm::setupUi(QWidget *dialog)
{
    if (dialog->objectName().isEmpty())
        dialog->setObjectName("YFrameDialog");
    dialog->resize(509, 366);
    dialog->setStyleSheet(QString::fromUtf8("font: 13px \"微软雅黑\";"));

    verticalLayout = new QVBoxLayout(dialog);
    verticalLayout->setObjectName("verticalLayout");
    verticalLayout->setSpacing(0);
    verticalLayout->setContentsMargins(2, 2, 2, 2);

    setupHeader(dialog);

    centralFrame = new QFrame(dialog);
    centralFrame->setObjectName("centralFrame");
    centralFrame->setMouseTracking(true);
    verticalLayout->addWidget(centralFrame);

    setupNotifyLine(dialog);

    buttonGroup = new QFrame(dialog);
    buttonGroup->setObjectName("buttonGroup");
    buttonGroup->setMinimumHeight(55);
    buttonGroup->setMaximumHeight(55);
    verticalLayout->addWidget(buttonGroup);

    retranslateUi(dialog);
}

void YFrameDialogForm::setupHeader(QWidget *dialog)
{
    header = new QFrame(dialog);
    header->setObjectName("header");
    header->setMinimumSize(0, 28);
    header->setMaximumSize(16777215, 28);
    header->setStyleSheet("color: rgb(255, 255, 255);");
    header->setAttribute(Qt::WA_TranslucentBackground);
    horizontalLayout_2 = new QHBoxLayout(header);
    horizontalLayout_2->setObjectName("horizontalLayout_2");
    horizontalLayout_2->setSpacing(8);
    horizontalLayout_2->setContentsMargins(16, 0, 10, 2);

    label = new QLabel(header);
    label->setObjectName("label");
    label->setAttribute(Qt::WA_TranslucentBackground);
    horizontalLayout_2->addWidget(label);
    horizontalLayout_2->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));

    max = new YUILIB::YToolButton(header);
    max->setObjectName("max");
    max->setFixedSize(24, 24);
    horizontalLayout_2->addWidget(max);

    close = new YUILIB::YToolButton(header);
    close->setObjectName("close");
    close->setFixedSize(24, 24);
    horizontalLayout_2->addWidget(close);

    verticalLayout->addWidget(header);
}

void YFrameDialogForm::setupNotifyLine(QWidget *dialog)
{
    notifyFrame = new QFrame(dialog);
    notifyFrame->setObjectName("notifyFrame");
    notifyFrame->setFrameShape(QFrame::StyledPanel);
    notifyFrame->setFrameShadow(QFrame::Raised);
    notifyFrame->setMinimumHeight(30);
    notifyFrame->setMaximumHeight(30);
    notifyFrame->hide();
    horizontalLayout_4 = new QHBoxLayout(notifyFrame);
    horizontalLayout_4->setObjectName("horizontalLayout_4");
    horizontalLayout_4->setSpacing(0);
    horizontalLayout_4->setContentsMargins(0, 0, 0, 0);
    horizontalLayout_4->addItem(new QSpacerItem(40, 20, QSizePolicy::Fixed, QSizePolicy::Minimum));

    neverNotify = new YUILIB::YToolButton(notifyFrame);
    neverNotify->setObjectName("neverNotify");
    neverNotify->setFixedSize(120, 24);
    horizontalLayout_4->addWidget(neverNotify);
    horizontalLayout_4->addItem(new QSpacerItem(193, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));

    verticalLayout->addWidget(notifyFrame);
}

void YFrameDialogForm::retranslateUi(QWidget *)
{
    label->setText(tr("Titile"));
    max->setToolTip(tr("最大化"));
    close->setToolTip(tr("关闭"));
    neverNotify->setText(tr("不再提醒"));
}
