#include "monitor/MonitorLabels.h"

#include <QLabel>

namespace monitor {

QLabel* figure(QWidget* parent, const QString& name, const QString& widest) {
    auto* label = new QLabel(QStringLiteral("–"), parent);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // Fixed in size, so a new number repaints the label alone and lays out nothing.
    label->setFixedSize(label->fontMetrics().horizontalAdvance(widest), label->sizeHint().height());
    return label;
}

QLabel* plainLabel(QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QString codeCaption(std::uint8_t code, const char* name) {
    return QStringLiteral("%1 %2").arg(int(code)).arg(QString::fromLatin1(name));
}

QLabel* heading(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

} // namespace monitor
