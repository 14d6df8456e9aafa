// The floor of a Qt Widgets window as a whole process: start Qt, show a window of five tabs with
// a few labels, paint it into a PNG, exit. What any Qt Widgets program pays before its own work,
// for bench/GuiBench.sh to put beside kestrio-gui --screenshot.
#include <QApplication>
#include <QLabel>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) return 2;
  const QString file = QString::fromLocal8Bit(argv[1]);
  QTabWidget window;
  for (const char* name : {"Cellular", "Wi-Fi", "Custom", "History", "Settings"}) {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    for (int i = 0; i < 8; ++i)
      layout->addWidget(new QLabel(QStringLiteral("%1 %2").arg(name).arg(i)));
    window.addTab(page, QString::fromLatin1(name));
  }
  window.resize(540, 760);
  window.show();
  int status = 1;
  QTimer::singleShot(0, &window, [&] {
    status = window.grab().save(file) ? 0 : 1;
    app.quit();
  });
  app.exec();
  return status;
}
