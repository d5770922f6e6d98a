#pragma once

#include <QMainWindow>

namespace kelto {

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
};

} // namespace kelto
