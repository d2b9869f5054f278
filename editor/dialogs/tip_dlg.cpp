#include "editor/dialogs/tip_dlg.h"

#include <QCheckBox>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>
#include <ctime>

#include "editor/data_directory.h"
#include "editor/help.h"
#include "editor/preview_window.h"
#include "engine/error_reporter.h"

namespace quillon {

namespace {

const QString kStartUp = QStringLiteral("Tip/StartUp");
const QString kFilePos = QStringLiteral("Tip/FilePos");
const QString kTimeStamp = QStringLiteral("Tip/TimeStamp");

QString ModificationStamp(const QFileInfo& info) {
    // The time as ctime writes it, its line end dropped.
    const std::time_t t = static_cast<std::time_t>(info.lastModified().toSecsSinceEpoch());
    char buffer[64] = {};
    struct tm local {};
    if (!localtime_r(&t, &local) ||
        !std::strftime(buffer, sizeof buffer, "%a %b %e %H:%M:%S %Y", &local))
        return QString::number(static_cast<qlonglong>(t));
    return QString::fromLatin1(buffer).trimmed();
}

bool IsSkipped(const QByteArray& line) {
    return line.isEmpty() || line[0] == ' ' || line[0] == '\t' || line[0] == ';' ||
           line[0] == '\r' || line[0] == '\n';
}

// Text a label can show: control characters (a binary file's bytes) as spaces.
QString Printable(const QByteArray& line) {
    QString text = QString::fromUtf8(line);
    for (QChar& c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f) c = QLatin1Char(' ');
    return text.trimmed();
}

bool HasTextures(const QString& folder) {
    const QDir dir(folder);
    if (!dir.exists()) return false;
    for (const QFileInfo& entry : dir.entryInfoList(QDir::Files | QDir::Readable))
        if (entry.suffix().compare(QLatin1String("qln"), Qt::CaseInsensitive) == 0) return true;
    return false;
}

}  // namespace

TipDlg::TipDlg(QWidget* parent)
    : TipDlg(parent, DataPath(QStringLiteral("tips.txt")), DataPath(QStringLiteral("SlideShow"))) {}

TipDlg::TipDlg(QWidget* parent, const QString& tipsFile, const QString& slideShowFolder)
    : QDialog(parent), m_tipsFile(tipsFile), m_slideShowFolder(slideShowFolder) {
    BuildWindow();
    OpenTips();
    m_text->setText(m_tip);
    m_next->setEnabled(m_file.isOpen() && m_hasTips);
    m_slideshow->setVisible(HasTextures(m_slideShowFolder));
}

TipDlg::~TipDlg() {
    CloseSlideshow();
    if (m_file.isOpen()) {
        QSettings().setValue(kFilePos, static_cast<qlonglong>(m_file.pos()));
        m_file.close();
    }
}

bool TipDlg::ShowAtStartup() {
    return QSettings().value(kStartUp, 0).toInt() == 0;
}

void TipDlg::BuildWindow() {
    setWindowTitle(tr("Tip of the Day"));

    // The white frame: the bulb, the heading and the tip.
    auto* frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("tipFrame"));
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setAutoFillBackground(true);
    QPalette white = frame->palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::WindowText, Qt::black);
    frame->setPalette(white);
    auto* bulb = new QLabel(frame);
    bulb->setPixmap(QIcon(QStringLiteral(":/icons/tip_bulb.svg")).pixmap(48, 48));
    bulb->setAlignment(Qt::AlignTop);
    auto* heading = new QLabel(tr("Did you know..."), frame);
    QFont big = heading->font();
    big.setPointSizeF(big.pointSizeF() * 1.5);
    big.setBold(true);
    heading->setFont(big);
    m_text = new QLabel(frame);
    m_text->setWordWrap(true);
    m_text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_text->setTextFormat(Qt::PlainText);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_text->setMinimumSize(360, 110);
    m_text->setWhatsThis(tr("A tip about Quillon. Next Tip shows another one."));
    auto* headingRow = new QHBoxLayout;
    headingRow->addWidget(bulb);
    headingRow->addWidget(heading, 1);
    auto* frameLayout = new QVBoxLayout(frame);
    frameLayout->addLayout(headingRow);
    frameLayout->addWidget(m_text, 1);

    m_startup = new QCheckBox(tr("&Show Tips on StartUp"), this);
    m_startup->setChecked(ShowAtStartup());
    m_startup->setWhatsThis(tr("Shows a tip each time Quillon starts."));

    m_next = new QPushButton(tr("&Next Tip"), this);
    m_close = new QPushButton(tr("&Close"), this);
    m_tutorials = new QPushButton(tr("&Tutorials"), this);
    m_slideshow = new QPushButton(tr("S&lideshow"), this);
    m_close->setDefault(true);
    m_next->setWhatsThis(tr("Shows the next tip."));
    m_close->setWhatsThis(tr("Closes the tips and keeps the Show Tips on StartUp choice."));
    m_tutorials->setWhatsThis(tr("Opens the tutorials in the help."));
    m_slideshow->setWhatsThis(tr("Renders the example textures one after another."));
    connect(m_next, &QPushButton::clicked, this, &TipDlg::NextTip);
    connect(m_close, &QPushButton::clicked, this, &TipDlg::accept);
    connect(m_tutorials, &QPushButton::clicked, this, &TipDlg::ShowTutorials);
    connect(m_slideshow, &QPushButton::clicked, this, &TipDlg::StartSlideshow);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(m_next);
    buttons->addWidget(m_tutorials);
    buttons->addWidget(m_slideshow);
    buttons->addStretch(1);
    buttons->addWidget(m_close);
    auto* top = new QHBoxLayout;
    top->addWidget(frame, 1);
    top->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addWidget(m_startup);
}

void TipDlg::OpenTips() {
    m_file.setFileName(m_tipsFile);
    if (!QFileInfo(m_tipsFile).isFile() || !m_file.open(QIODevice::ReadOnly)) {
        m_tip = tr("Tips file does not exist in the prescribed directory");
        return;
    }
    QSettings settings;
    qint64 position = settings.value(kFilePos, 0).toLongLong();
    const QString stamp = ModificationStamp(QFileInfo(m_file));
    if (stamp != settings.value(kTimeStamp).toString()) {
        settings.setValue(kTimeStamp, stamp);
        position = 0;
    }
    // A position the file no longer has starts again at the top.
    if (position < 0 || position > m_file.size()) position = 0;
    if (!m_file.seek(position)) {
        ReportError(tr("Trouble reading the tips file").toStdString());
        m_tip = tr("Trouble reading the tips file");
        return;
    }
    m_hasTips = ReadTip();
}

bool TipDlg::ReadLine(QByteArray& line) {
    line.clear();
    // Bounded: the rest of an overlong line is read past, not kept.
    char buffer[kMaxTipLength + 2];
    bool any = false;
    for (;;) {
        const qint64 n = m_file.readLine(buffer, sizeof buffer);
        if (n <= 0) return any;
        any = true;
        if (line.size() < kMaxTipLength)
            line.append(buffer, static_cast<int>(std::min<qint64>(n, kMaxTipLength - line.size())));
        if (buffer[n - 1] == '\n') break;
    }
    while (line.endsWith('\n') || line.endsWith('\r')) line.chop(1);
    // An empty line still counts as read.
    if (line.isEmpty()) line = QByteArray(1, '\n');
    return true;
}

bool TipDlg::ReadTip() {
    // One full pass through the file without a tip line ends the search.
    bool wrapped = false;
    QByteArray line;
    for (;;) {
        if (!ReadLine(line)) {
            if (wrapped) {
                m_tip = tr("The tips file holds no tips.");
                return false;
            }
            wrapped = true;
            if (!m_file.seek(0)) {
                ReportError(tr("Trouble reading the tips file").toStdString());
                return false;
            }
            continue;
        }
        if (IsSkipped(line)) continue;
        const QString text = Printable(line);
        if (text.isEmpty()) continue;
        m_tip = text;
        return true;
    }
}

void TipDlg::NextTip() {
    if (!m_file.isOpen()) return;
    m_hasTips = ReadTip();
    m_text->setText(m_tip);
    m_next->setEnabled(m_hasTips);
}

void TipDlg::ShowTutorials() {
    ShowHelp(kHelpFirstTutorial, this);
}

void TipDlg::StartSlideshow() {
    if (m_slideshowWindow) {
        m_slideshowWindow->raise();
        m_slideshowWindow->activateWindow();
        return;
    }
    auto* window = new PreviewWindow(this, false, false);
    if (!window->Create(256, 256, PreviewMode::kSlideshow, 24, true)) {
        delete window;
        return;
    }
    m_slideshowWindow = window;
    connect(window, &PreviewWindow::PreviewClosed, this, [this] { m_slideshowWindow = nullptr; });
    window->PlaceForImage();
    window->StartSlideshow(m_slideShowFolder);
}

void TipDlg::CloseSlideshow() {
    if (PreviewWindow* window = m_slideshowWindow.data()) {
        m_slideshowWindow = nullptr;
        window->Cancel();
    }
}

void TipDlg::accept() {
    CloseSlideshow();
    QSettings().setValue(kStartUp, m_startup->isChecked() ? 0 : 1);
    QDialog::accept();
}

void TipDlg::reject() {
    CloseSlideshow();
    QDialog::reject();
}

}  // namespace quillon
