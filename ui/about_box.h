#pragma once

#include <QDialog>

namespace tarrowind {

// The program's name, version and year, with one OK button.
class CAboutDlg final : public QDialog {
    Q_OBJECT

public:
    static constexpr const char* kVersionLine = "Tarrowind, Version 5.0.0.0";
    static constexpr const char* kCopyrightLine = "Copyright (C) 2026";

    explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace tarrowind
