// A header that uses Qt Widgets by its folder name.
#include <QtWidgets/QMessageBox>
