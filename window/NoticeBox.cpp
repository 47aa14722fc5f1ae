#include "window/NoticeBox.h"

#include <QMessageBox>

namespace window {

void ShowNotice(QMessageBox*& box, QWidget* parent, const char* objectName, const QString& text) {
    if (!box) {
        box = new QMessageBox(QMessageBox::Warning, QString(), QString(), QMessageBox::Ok, parent);
        box->setObjectName(objectName);
        box->setWindowModality(Qt::NonModal);
    }
    box->setWindowTitle("ZOV-USB Test Interface");
    box->setText(text);
    box->show();
    box->raise();
}

} // namespace window
