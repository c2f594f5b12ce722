#pragma once
// Creates the program's main window, not yet shown.
#include <QMainWindow>

#include <memory>

std::unique_ptr<QMainWindow> CreateMainWindow();
