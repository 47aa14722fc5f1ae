#include "window/NoticeBox.h"

#include "window/WindowPlacement.h"

#include <QMessageBox>

namespace window {

void ShowNotice(QMessageBox*& box, QWidget* parent, const char* objectName, const QString& text) {
    if (!box) {
        box = new QMessageBox(QMessageBox::Warning, QString(), QString(), QMessageBox::Ok, parent);
        box->setObjectName(objectName);
        // The text can name a device node or carry what a device said: never read as markup.
        box->setTextFormat(Qt::PlainText);
        box->setWindowModality(Qt::NonModal);
    }
    box->setWindowTitle("ZOV-USB Test Interface");
    box->setText(text);
    const bool shown = box->isVisible();
    box->show(); // sized as it shows
    // Beside the window rather than over its controls; left where the operator put it.
    if (!shown && parent) PlaceBeside(*box, *parent);
    box->raise();
}

} // namespace window
