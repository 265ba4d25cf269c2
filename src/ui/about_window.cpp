#include "ui/about_window.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

#include "ui/build_info.h"

namespace quill::ui {

const QString frmAbout::kUnavailable =
    QStringLiteral("System Information Is Unavailable At This Time");

SystemInfoLauncher SystemInfoLauncher::Desktop() {
    return SystemInfoLauncher{
        {QStringLiteral("hardinfo"), QStringLiteral("kinfocenter"),
         QStringLiteral("gnome-system-monitor"), QStringLiteral("mate-system-monitor"),
         QStringLiteral("xfce4-taskmanager")},
        [](const QString& program) { return QStandardPaths::findExecutable(program); },
        [](const QString& path) { return QProcess::startDetached(path, {}); },
    };
}

MessageBoxFn StandardMessageBox() {
    return [](QWidget* parent, const QString& caption, const QString& text) {
        QMessageBox::information(parent, caption, text, QMessageBox::Ok);
    };
}

QString frmAbout::ProgramTitle() {
    return QString::fromUtf8(build::kTitle);
}

QString frmAbout::VersionText() {
    return QStringLiteral("Version %1.%2.%3")
        .arg(build::kVersionMajor)
        .arg(build::kVersionMinor)
        .arg(build::kVersionRevision);
}

namespace {

QLabel* PlainLabel(const QString& name, const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    return label;
}

}  // namespace

frmAbout::frmAbout(SystemInfoLauncher launcher, MessageBoxFn messageBox, QWidget* parent)
    : QDialog(parent), launcher_(std::move(launcher)), messageBox_(std::move(messageBox)) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About Quillorbane"));
    setAttribute(Qt::WA_DeleteOnClose);

    picIcon_ = new QLabel(this);
    picIcon_->setObjectName(QStringLiteral("picIcon"));
    picIcon_->setPixmap(QPixmap(QStringLiteral(":/quillorbane/quillorbane-32.png")));
    picIcon_->setFixedSize(36, 36);
    picIcon_->setAlignment(Qt::AlignCenter);

    lblTitle_ = PlainLabel(QStringLiteral("lblTitle"), QStringLiteral("Quillorbane"), this);
    QFont titleFont = lblTitle_->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.6);
    lblTitle_->setFont(titleFont);
    lblVersion_ = PlainLabel(QStringLiteral("lblVersion"), QStringLiteral("Version 1.0"), this);
    lblDescription_ = PlainLabel(
        QStringLiteral("lblDescription"),
        QStringLiteral(
            "Crawl through a web site and verify all links, images, applets, frames and forms."),
        this);
    lblDescription_->setWordWrap(true);
    lblAuthInfo_ =
        PlainLabel(QStringLiteral("lblAuthInfo"), QStringLiteral("Quillorbane developers"), this);
    Label1_ = PlainLabel(QStringLiteral("Label1"),
                         QStringLiteral("https://quillorbane.example.org/"), this);
    Label1_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* line = new QFrame(this);
    line->setObjectName(QStringLiteral("Line1"));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);

    lblDisclaimer_ = PlainLabel(QStringLiteral("lblDisclaimer"), QString(), this);
    lblDisclaimer_->setWordWrap(true);
    lblDisclaimer_->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    cmdOK_ = new QPushButton(QStringLiteral("OK"), this);
    cmdOK_->setObjectName(QStringLiteral("cmdOK"));
    cmdOK_->setDefault(true);
    cmdSysInfo_ = new QPushButton(QStringLiteral("&System Info..."), this);
    cmdSysInfo_->setObjectName(QStringLiteral("cmdSysInfo"));
    cmdSysInfo_->setAutoDefault(false);

    auto* text = new QVBoxLayout;
    text->addWidget(lblTitle_);
    text->addWidget(lblVersion_);
    text->addSpacing(6);
    text->addWidget(lblDescription_);
    text->addSpacing(6);
    text->addWidget(lblAuthInfo_);
    text->addWidget(Label1_);
    auto* head = new QHBoxLayout;
    head->addWidget(picIcon_, 0, Qt::AlignTop);
    head->addSpacing(12);
    head->addLayout(text, 1);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(cmdOK_);
    buttons->addWidget(cmdSysInfo_);
    buttons->addStretch(1);
    auto* foot = new QHBoxLayout;
    foot->addWidget(lblDisclaimer_, 1);
    foot->addLayout(buttons);

    auto* outer = new QVBoxLayout(this);
    outer->addLayout(head);
    outer->addWidget(line);
    outer->addLayout(foot, 1);
    resize(382, 237);

    setTabOrder(cmdOK_, cmdSysInfo_);
    connect(cmdOK_, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(cmdSysInfo_, &QPushButton::clicked, this, [this] { cmdSysInfo_Click(); });
}

void frmAbout::Form_Load() {
    setWindowTitle(QStringLiteral("About ") + ProgramTitle());
    lblVersion_->setText(VersionText());
    lblTitle_->setText(ProgramTitle());
}

void frmAbout::StartSysInfo() {
    for (const QString& program : launcher_.programs) {
        const QString path = launcher_.find ? launcher_.find(program) : QString();
        if (path.isEmpty()) {
            continue;
        }
        if (launcher_.start && launcher_.start(path)) {
            return;
        }
        break;
    }
    messageBox_(this, ProgramTitle(), kUnavailable);
}

void frmAbout::cmdOK_Click() {
    close();
}

void frmAbout::cmdSysInfo_Click() {
    StartSysInfo();
}

}  // namespace quill::ui
