#pragma once

#include <QDialog>

// Dialog 100, "About Vantrel".
class AboutDialog : public QDialog
{
    Q_OBJECT

public:
    explicit AboutDialog(QWidget* parent = nullptr);
};
