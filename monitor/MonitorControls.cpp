#include "monitor/MonitorControls.h"

#include "monitor/MonitorLabels.h"

#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace monitor {

MonitorControls::MonitorControls(QWidget* parent) : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    auto* pause =
        toggleButton("pauseButton", tr("Pause"), tr("Resume"), &MonitorControls::pausedChanged);
    auto* span = toggleButton("spanButton", tr("Show 60 s"), tr("Show 10 s"),
                              &MonitorControls::longSpanChanged);
    auto* savePicture = new QPushButton(tr("Save picture…"), this);
    savePicture->setObjectName("savePictureButton");
    connect(savePicture, &QPushButton::clicked, this, &MonitorControls::savePictureAsked);
    auto* saveSamples = new QPushButton(tr("Save samples…"), this);
    saveSamples->setObjectName("saveSamplesButton");
    connect(saveSamples, &QPushButton::clicked, this, &MonitorControls::saveSamplesAsked);
    pausedNote_ = new QLabel(this);
    pausedNote_->setObjectName("pausedNote");
    saveStatus_ = plainLabel(this);
    saveStatus_->setObjectName("saveStatus");
    // A long path must not widen the window; the whole text is in the tool tip.
    saveStatus_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    for (QWidget* widget :
         std::initializer_list<QWidget*>{pause, span, savePicture, saveSamples, pausedNote_})
        row->addWidget(widget);
    row->addWidget(saveStatus_, 1);
}

QPushButton* MonitorControls::toggleButton(const char* name, const QString& off, const QString& on,
                                           void (MonitorControls::*changed)(bool)) {
    auto* button = new QPushButton(off, this);
    button->setObjectName(name);
    button->setCheckable(true);
    connect(button, &QPushButton::toggled, this, [this, button, off, on, changed](bool checked) {
        button->setText(checked ? on : off);
        emit(this->*changed)(checked);
    });
    return button;
}

void MonitorControls::showPausedNote(const QString& note) {
    pausedNote_->setText(note);
}

void MonitorControls::showSaved(const QString& path, const QString& error) {
    saveStatus_->setText(error.isEmpty() ? tr("Saved %1").arg(QDir::toNativeSeparators(path))
                                         : tr("Could not save %1: %2").arg(path, error));
    // A tool tip that looks like markup (Qt::mightBeRichText) is read as markup: the path goes
    // escaped, in a paragraph that keeps it on one line as a plain tool tip would.
    saveStatus_->setToolTip(QStringLiteral("<p style=\"white-space:pre\">%1</p>")
                                .arg(saveStatus_->text().toHtmlEscaped()));
}

} // namespace monitor
