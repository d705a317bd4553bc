#pragma once

#include <QDialog>

#ifndef TARROWIND_VERSION
#error "the build defines TARROWIND_VERSION"
#endif

namespace tarrowind {

// The program's name, version and year, with one OK button.
class CAboutDlg final : public QDialog {
    Q_OBJECT

public:
    // The version the build gives both programs' --version and the package.
    static constexpr const char* kVersionLine = "Tarrowind, Version " TARROWIND_VERSION;
    static constexpr const char* kCopyrightLine = "Copyright (C) 2026";

    explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace tarrowind
