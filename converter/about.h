// The About box: the program icon, its name and version, and three lines about it.
#pragma once

#include <QDialog>

inline constexpr const char* TunepressVersion = TUNEPRESS_VERSION;

class AboutDialog : public QDialog {
    Q_OBJECT

public:
    explicit AboutDialog(QWidget* parent = nullptr);
};
