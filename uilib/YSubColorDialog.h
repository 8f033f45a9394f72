#pragma once

#include "YUiLibExport.h"

#include <QColor>
#include <QColorDialog>

namespace YUILIB {

// The library's colour picker: alpha channel shown, Chinese captions.
class YUILIB_EXPORT YSubColorDialog : public QColorDialog
{
    Q_OBJECT

public:
    explicit YSubColorDialog(QWidget *parent = nullptr);

private:
    void translateButtons();
    void translateAlphaLabel();

    QColor color;
};

} // namespace YUILIB
