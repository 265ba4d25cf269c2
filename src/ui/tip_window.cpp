#include "ui/tip_window.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QTextStream>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>

#include "ui/tips_setting.h"

namespace quill::ui {

const QString frmTip::kTipsFileName = QStringLiteral("QuillorbaneTips.txt");

QString DefaultTipsFilePath() {
    const QDir programDir(QCoreApplication::applicationDirPath());
    const QString beside = programDir.filePath(frmTip::kTipsFileName);
    const QDir dataDir(programDir.filePath(QStringLiteral(QUILL_TIPS_DIR_FROM_PROGRAM)));
    const QString installed = QDir::cleanPath(dataDir.filePath(frmTip::kTipsFileName));
    if (!QFileInfo::exists(beside) && QFileInfo::exists(installed)) {
        return installed;
    }
    return beside;
}

QString frmTip::NotFoundText() {
    return QStringLiteral("That the ") + kTipsFileName + QStringLiteral(" file was not found? ") +
           QStringLiteral("\n\n") + QStringLiteral("Create a text file named ") + kTipsFileName +
           QStringLiteral(" using NotePad with 1 tip per line. ") +
           QStringLiteral("Then place it in the same directory as the application. ");
}

frmTip::frmTip(QString tipsFilePath, QWidget* parent)
    : QDialog(parent), tipsFilePath_(std::move(tipsFilePath)) {
    setObjectName(QStringLiteral("frmTip"));
    setWindowTitle(QStringLiteral("Tip of the Day (Quillorbane)"));
    setAttribute(Qt::WA_DeleteOnClose);

    Picture1_ = new QFrame(this);
    Picture1_->setObjectName(QStringLiteral("Picture1"));
    Picture1_->setFrameShape(QFrame::StyledPanel);
    Picture1_->setFrameShadow(QFrame::Sunken);
    Picture1_->setAutoFillBackground(true);
    QPalette white = Picture1_->palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::WindowText, Qt::black);
    Picture1_->setPalette(white);

    tipIcon_ = new QLabel(Picture1_);
    tipIcon_->setObjectName(QStringLiteral("tipIcon"));
    tipIcon_->setPixmap(QPixmap(QStringLiteral(":/quillorbane/tip-32.png")));
    tipIcon_->setFixedSize(32, 32);

    Label1_ = new QLabel(QStringLiteral("Did you know..."), Picture1_);
    Label1_->setObjectName(QStringLiteral("Label1"));
    QFont heading = Label1_->font();
    heading.setBold(true);
    heading.setPointSizeF(heading.pointSizeF() * 1.25);
    Label1_->setFont(heading);

    lblTipText_ = new QLabel(Picture1_);
    lblTipText_->setObjectName(QStringLiteral("lblTipText"));
    lblTipText_->setTextFormat(Qt::PlainText);
    lblTipText_->setWordWrap(true);
    lblTipText_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblTipText_->setMinimumSize(217, 109);

    auto* heading_row = new QHBoxLayout;
    heading_row->addWidget(tipIcon_);
    heading_row->addSpacing(6);
    heading_row->addWidget(Label1_, 1);
    auto* panel = new QVBoxLayout(Picture1_);
    panel->addLayout(heading_row);
    panel->addSpacing(8);
    panel->addWidget(lblTipText_, 1);

    cmdOK_ = new QPushButton(QStringLiteral("OK"), this);
    cmdOK_->setObjectName(QStringLiteral("cmdOK"));
    cmdOK_->setDefault(true);
    cmdOK_->setAutoDefault(true);
    cmdNextTip_ = new QPushButton(QStringLiteral("&Next Tip"), this);
    cmdNextTip_->setObjectName(QStringLiteral("cmdNextTip"));
    cmdNextTip_->setAutoDefault(false);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(cmdOK_);
    buttons->addWidget(cmdNextTip_);
    buttons->addStretch(1);

    chkLoadTipsAtStartup_ = new QCheckBox(QStringLiteral("&Show Tips at Startup"), this);
    chkLoadTipsAtStartup_->setObjectName(QStringLiteral("chkLoadTipsAtStartup"));

    auto* top = new QHBoxLayout;
    top->addWidget(Picture1_, 1);
    top->addLayout(buttons);
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(top, 1);
    outer->addWidget(chkLoadTipsAtStartup_);
    resize(361, 219);

    // The panel and its labels take no keyboard focus.
    setTabOrder(cmdOK_, cmdNextTip_);
    setTabOrder(cmdNextTip_, chkLoadTipsAtStartup_);

    connect(cmdOK_, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(cmdNextTip_, &QPushButton::clicked, this, [this] { cmdNextTip_Click(); });
    connect(chkLoadTipsAtStartup_, &QCheckBox::toggled, this,
            [this] { chkLoadTipsAtStartup_Click(); });
}

bool frmTip::Form_Load() {
    if (ReadShowTipsAtStartup() == 0) {
        close();
        return false;
    }
    chkLoadTipsAtStartup_->setChecked(true);
    random_.seed(static_cast<std::mt19937::result_type>(
        std::chrono::system_clock::now().time_since_epoch().count()));
    if (!LoadTips(tipsFilePath_)) {
        lblTipText_->setText(NotFoundText());
    }
    FitLongestTip();
    return true;
}

void frmTip::FitLongestTip() {
    const QFontMetrics metrics = lblTipText_->fontMetrics();
    // About forty characters a line, however large the font.
    const int width = std::max(217, metrics.averageCharWidth() * 40);
    int height = 109;
    for (const QString& tip : tips_ + QStringList{NotFoundText()}) {
        height = std::max(
            height,
            metrics.boundingRect(QRect(0, 0, width, 100000), Qt::TextWordWrap, tip).height() +
                metrics.lineSpacing() / 2);
    }
    lblTipText_->setMinimumSize(width, height);
}

bool frmTip::LoadTips(const QString& path) {
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    // UTF-8; "\n" and "\r\n" line ends; every line is a tip, blank ones included.
    QTextStream in(&file);
    QString line;
    while (in.readLineInto(&line)) {
        tips_.append(line);
    }
    DoNextTip();
    return true;
}

void frmTip::DoNextTip() {
    const int n = static_cast<int>(tips_.size());
    currentTip_ = n > 0 ? std::uniform_int_distribution<int>(1, n)(random_) : 1;
    DisplayCurrentTip();
}

void frmTip::DisplayCurrentTip() {
    if (!tips_.isEmpty()) {
        lblTipText_->setText(tips_.at(currentTip_ - 1));
    }
}

bool frmTip::ShowAtStartupChecked() const {
    return chkLoadTipsAtStartup_->isChecked();
}

void frmTip::cmdNextTip_Click() {
    DoNextTip();
}

void frmTip::cmdOK_Click() {
    close();
}

void frmTip::chkLoadTipsAtStartup_Click() {
    WriteShowTipsAtStartup(chkLoadTipsAtStartup_->isChecked());
}

}  // namespace quill::ui
