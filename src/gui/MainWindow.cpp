#include "gui/MainWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/MainController.h"
#include "base/Texts.h"
#include "gui/DetectionsModel.h"
#include "gui/LineDelegates.h"
#include "gui/MessageBoxes.h"
#include "gui/QtTexts.h"
#include "gui/SoundPlayer.h"
#include "gui/Speaker.h"
#include "gui/StateImages.h"
#include "gui/SummaryModel.h"

namespace lv {

namespace {

constexpr int kBoxIconSize = 32;
constexpr int kLinkIconSize = 28;


QPushButton* MakeButton(const QString& text, const char* name, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    button->setMinimumHeight(button->fontMetrics().height() * (text.contains('\n') ? 3 : 2));
    return button;
}

QListView* MakeList(const char* name, QWidget* parent) {
    auto* view = new QListView(parent);
    view->setObjectName(name);
    // Every line has the same height: the view never measures thousands of lines.
    view->setUniformItemSizes(true);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The last column takes the rest of the line, clipped: nothing to scroll to.
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    return view;
}

// The level items of the log window's combo; the number first, as the level is read
// back from the text.
QStringList LogLevelItems() {
    return {"  0    [Minimum]", T(" 25   [Low]", " 25   [Faible]"), T(" 50   [Medium]", " 50   [Moyen]"),
            T(" 75   [High]", " 75   [Fort]"), "100  [Maximum]"};
}

}  // namespace

MainWindow::MainWindow(const GuiOptions& options, QWidget* parent) : QWidget(parent), options_(options) {
    setObjectName("mainWindow");
    setWindowTitle(T("Lumivane - Acquisition module", "Lumivane - Module d'acquisition"));
    setWindowIcon(ProgramIcon());
    detections_ = new DetectionsModel(this);
    summary_ = new SummaryModel(this);
    log_ = new LogModel(this);
    sounds_ = new SoundPlayer(options_.sounds, this);
    speaker_ = new Speaker(options_.speech, this);
    BuildControls();
    ConnectSignals();
    resize(1360, 820);
    if (options_.popFrontServer) StartPopFrontServer();
}

MainWindow::~MainWindow() {
    if (busy_) QApplication::restoreOverrideCursor();
}

QString MainWindow::VersionText() {
    return QString("Version %1 (%2)").arg(QString::fromUtf8(LUMIVANE_VERSION), QString::fromLatin1(__DATE__).simplified());
}

void MainWindow::BuildControls() {
    // --- Detections window with its switches and clear button.
    auto* detectionsBox = new QVBoxLayout;
    detectionsView_ = MakeList("detections", this);
    detectionsView_->setModel(detections_);
    detectionsView_->setItemDelegate(new DetectionsDelegate(detectionsView_));
    detectionsView_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    detectionsView_->setContextMenuPolicy(Qt::CustomContextMenu);
    detectionsView_->setMinimumWidth(fontMetrics().averageCharWidth() * 50);
    detectionsBox->addWidget(detectionsView_, 1);
    auto* detectionsSwitches = new QHBoxLayout;
    logDetections_ = new QCheckBox(T("Detections", "Détections"), this);
    logDetections_->setObjectName("logDetections");
    logDetections_->setToolTip(
        T("It is recommended NOT to log the detection (uncheck this box) in case of massive detections input, like "
          "for example a departure line.",
          "Il est recommandé de ne pas afficher les détections (décocher cette case) en cas de passage massif de "
          "coureurs sur la ligne de détection, comme par exemple une ligne de départ."));
    scrollDetections_ = new QCheckBox(T("Scroll", "Défilement"), this);
    scrollDetections_->setObjectName("scrollDetections");
    clearDetections_ = MakeButton(T("^^^^^^ Clear those logs", "^^^^^^ Effacer ces traces"), "clearDetections", this);
    detectionsSwitches->addWidget(logDetections_);
    detectionsSwitches->addWidget(scrollDetections_);
    detectionsSwitches->addStretch(1);
    detectionsSwitches->addWidget(clearDetections_);
    detectionsBox->addLayout(detectionsSwitches);

    // --- Runner displays and summary window.
    auto* summaryBox = new QVBoxLayout;
    auto* runnerFrame = new QFrame(this);
    runnerFrame->setFrameShape(QFrame::StyledPanel);
    auto* runnerLayout = new QVBoxLayout(runnerFrame);
    runnerName_ = new QLabel(runnerFrame);
    runnerName_->setObjectName("runnerName");
    QFont nameFont = runnerName_->font();
    nameFont.setBold(true);
    nameFont.setPointSizeF(nameFont.pointSizeF() * 1.4);
    runnerName_->setFont(nameFont);
    runnerRank_ = new QLabel(runnerFrame);
    runnerRank_->setObjectName("runnerRank");
    runnerTime_ = new QLabel(runnerFrame);
    runnerTime_->setObjectName("runnerTime");
    QFont timeFont = runnerTime_->font();
    timeFont.setBold(true);
    timeFont.setPointSizeF(timeFont.pointSizeF() * 1.4);
    runnerTime_->setFont(timeFont);
    auto* rankAndTime = new QHBoxLayout;
    rankAndTime->addWidget(runnerRank_, 1);
    rankAndTime->addWidget(runnerTime_);
    runnerLayout->addWidget(runnerName_);
    runnerLayout->addLayout(rankAndTime);
    summaryBox->addWidget(runnerFrame);
    auto* summaryLabel = new QLabel(T("Detections information", "Informations détections"), this);
    summaryLabel->setObjectName("summaryLabel");
    summaryBox->addWidget(summaryLabel);
    summaryView_ = MakeList("summary", this);
    summaryView_->setModel(summary_);
    summaryView_->setItemDelegate(new SummaryDelegate(summaryView_));
    summaryView_->setSelectionMode(QAbstractItemView::NoSelection);
    summaryView_->setMinimumWidth(fontMetrics().averageCharWidth() * 50);
    summaryBox->addWidget(summaryView_, 1);
    clearSummary_ = MakeButton(T("^^^^^^ Clear those logs", "^^^^^^ Effacer ces traces"), "clearSummary", this);
    auto* summaryButtons = new QHBoxLayout;
    summaryButtons->addStretch(1);
    summaryButtons->addWidget(clearSummary_);
    summaryBox->addLayout(summaryButtons);

    auto* upper = new QHBoxLayout;
    upper->addLayout(detectionsBox, 1);
    upper->addLayout(summaryBox, 1);

    // --- Log window with its level and clear button.
    auto* logHeader = new QHBoxLayout;
    auto* logLabel = new QLabel(T("Logs", "Traces"), this);
    logLabel->setObjectName("logLabel");
    logHeader->addWidget(logLabel);
    logHeader->addStretch(1);
    logHeader->addWidget(new QLabel(T("Log level:", "Niveau de traces :"), this));
    logLevel_ = new QComboBox(this);
    logLevel_->setObjectName("logLevel");
    logLevel_->addItems(LogLevelItems());
    logHeader->addWidget(logLevel_);
    logView_ = MakeList("log", this);
    logView_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    logView_->setModel(log_);
    logView_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    clearLog_ = MakeButton(T("<<<<<< Clear those logs", "<<<<<< Effacer ces traces"), "clearLog", this);
    auto* logRow = new QHBoxLayout;
    logRow->addWidget(logView_, 1);
    logRow->addWidget(clearLog_, 0, Qt::AlignBottom);
    auto* lower = new QVBoxLayout;
    lower->addLayout(logHeader);
    lower->addLayout(logRow, 1);

    auto* left = new QVBoxLayout;
    left->addLayout(upper, 3);
    left->addLayout(lower, 2);

    auto* main = new QHBoxLayout(this);
    main->addLayout(left, 1);
    main->addWidget(BuildButtonsColumn());
}

QWidget* MainWindow::BuildButtonsColumn() {
    auto* column = new QWidget(this);
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);

    version_ = new QLabel(VersionText(), column);
    version_->setObjectName("version");
    version_->setAlignment(Qt::AlignCenter);
    layout->addWidget(version_);

    // Box state icons, clickable for their menus.
    auto* boxes = new QHBoxLayout;
    for (int i = 0; i < 4; ++i) {
        auto* button = new QToolButton(column);
        button->setObjectName(QString("box%1").arg(i + 1));
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setAutoRaise(true);
        button->setIconSize(QSize(kBoxIconSize, kBoxIconSize));
        button->setIcon(BoxStateImage(BoxVisualState::Undefined, kBoxIconSize));
        button->setText(QString::number(i + 1));
        button->setToolTip(T("Box undefined", "Boîtier non défini"));
        button->setContextMenuPolicy(Qt::CustomContextMenu);
        boxButtons_[static_cast<std::size_t>(i)] = button;
        boxes->addWidget(button);
    }
    layout->addLayout(boxes);

    // Day offset indicator.
    auto* dayOffset = new QHBoxLayout;
    dayOffset->addStretch(1);
    dayOffsetIcon_ = new QLabel(column);
    dayOffsetIcon_->setPixmap(WarningImage(20));
    dayOffsetText_ = new QLabel("+ 24h", column);
    dayOffsetText_->setObjectName("dayOffset");
    dayOffsetText_->setStyleSheet("QLabel { background: yellow; color: black; font-weight: bold; padding: 1px 4px; }");
    dayOffset->addWidget(dayOffsetIcon_);
    dayOffset->addWidget(dayOffsetText_);
    dayOffset->addStretch(1);
    dayOffsetIcon_->hide();
    dayOffsetText_->hide();
    layout->addLayout(dayOffset);

    counter_ = new QLabel(column);
    counter_->setObjectName("counter");
    counter_->setAlignment(Qt::AlignCenter);
    QFont counterFont = counter_->font();
    counterFont.setBold(true);
    counter_->setFont(counterFont);
    layout->addWidget(counter_);

    connect_ = MakeButton(T("Connect\nto boxes", "Connexion\naux boîtiers"), "connect", column);
    connect_->setCheckable(true);
    configuration_ = MakeButton("Configuration...", "configuration", column);
    synchronise_ = MakeButton(T("Synchronization\nof boxes clocks", "Synchronisation\nheure boîtiers"), "synchronise",
                              column);
    displayClocks_ = MakeButton(T("Display boxes\nclocks", "Voir heure\ndes boîtiers"), "displayClocks", column);
    synchronise_->setEnabled(false);
    displayClocks_->setEnabled(false);
    import_ = MakeButton(T("Import detections\nfrom boxes or files", "Import détections\nboîtiers ou fichiers"),
                         "import", column);
    insert_ = MakeButton(T("Insert\na detection", "Insérer\nune détection"), "insert", column);
    export_ = MakeButton(T("Export all\nrecorded detections", "Exporter toutes les\ndétections enregistrées"), "export",
                         column);
    reset_ = MakeButton(T("Forget all recorded\ndetections!...", "Oublier toutes les détections\nenregistrées !!!..."),
                        "reset", column);
    direct_ = MakeButton(T("Direct Quillet-Pro\nconnection", "Connexion directe\nà Quillet-Pro"), "direct", column);
    direct_->setCheckable(true);
    direct_->setIconSize(QSize(kLinkIconSize, kLinkIconSize));
    direct_->setIcon(LinkStateImage(LinkVisualState::Off, kLinkIconSize));
    for (QPushButton* b : {connect_, configuration_, synchronise_, displayClocks_, import_, insert_, export_, reset_,
                           direct_})
        layout->addWidget(b);

    speech_ = new QCheckBox(T("Speak runner names", "Annoncer les coureurs"), column);
    speech_->setObjectName("speech");
    speech_->setToolTip(T("Speaks the name of each runner the timing application answers for.",
                          "Annonce le nom de chaque coureur pour lequel Quillet-Pro répond."));
    speech_->setVisible(speaker_->Available());
    layout->addWidget(speech_);
    layout->addStretch(1);

    auto* bottom = new QHBoxLayout;
    help_ = new QPushButton("?", column);
    help_->setObjectName("help");
    help_->setAutoDefault(false);
    help_->setToolTip(T("Help...", "Aide..."));
    help_->setFixedWidth(help_->fontMetrics().horizontalAdvance("??") * 2);
    exit_ = MakeButton(T("Exit", "Quitter"), "exit", column);
    bottom->addWidget(help_);
    bottom->addWidget(exit_, 1);
    layout->addLayout(bottom);
    return column;
}

void MainWindow::ConnectSignals() {
    connect(clearLog_, &QPushButton::clicked, this, [this] { controller_->ClearLogWindow(); });
    connect(clearDetections_, &QPushButton::clicked, this, [this] { controller_->ClearDetectionsWindow(); });
    connect(clearSummary_, &QPushButton::clicked, this, [this] { controller_->ClearSummaryWindow(); });
    connect(logDetections_, &QCheckBox::clicked, this, [this](bool on) { controller_->SetLogDetections(on); });
    connect(scrollDetections_, &QCheckBox::clicked, this, [this](bool on) { controller_->SetScrollDetections(on); });
    connect(logLevel_, &QComboBox::activated, this, [this](int index) { OnLogLevelChosen(index); });
    connect(connect_, &QPushButton::clicked, this, [this](bool pressed) { OnConnectClicked(pressed); });
    connect(configuration_, &QPushButton::clicked, this, [this] { OpenConfiguration(); });
    connect(synchronise_, &QPushButton::clicked, this, [this] { controller_->SynchronizeBoxes(); });
    connect(displayClocks_, &QPushButton::clicked, this, [this] { controller_->RequestBoxesTime(); });
    connect(insert_, &QPushButton::clicked, this, [this] { OpenManualInsertion(); });
    connect(import_, &QPushButton::clicked, this, [this] { OpenImport(); });
    connect(export_, &QPushButton::clicked, this, [this] { controller_->ExportAllDetections(); });
    connect(reset_, &QPushButton::clicked, this, [this] { controller_->ConfirmResetDetections(); });
    connect(direct_, &QPushButton::clicked, this, [this](bool on) { OnDirectClicked(on); });
    connect(help_, &QPushButton::clicked, this, [this] { OpenHelp(); });
    connect(exit_, &QPushButton::clicked, this, [this] { RequestExit(); });
    connect(detectionsView_, &QListView::customContextMenuRequested, this,
            [this](const QPoint& pos) { ShowDetectionsMenu(detectionsView_->viewport()->mapToGlobal(pos)); });
    connect(detections_, &DetectionsModel::linesAppended, this, [this](int) { ScrollDetectionsToEnd(); });
    connect(log_, &LogModel::linesAppended, logView_, &QListView::scrollToBottom);
    connect(summary_, &SummaryModel::rowsInserted, summaryView_, &QListView::scrollToBottom);
    for (int i = 0; i < 4; ++i) {
        QToolButton* button = boxButtons_[static_cast<std::size_t>(i)];
        connect(button, &QToolButton::clicked, this,
                [this, i, button] { ShowBoxMenu(i, button->mapToGlobal(QPoint(0, button->height()))); });
        connect(button, &QToolButton::customContextMenuRequested, this,
                [this, i, button](const QPoint& pos) { ShowBoxMenu(i, button->mapToGlobal(pos)); });
    }
}

void MainWindow::Attach(MainController& controller) {
    controller_ = &controller;
    logDetections_->setChecked(controller.LogDetectionsEnabled());
    scrollDetections_->setChecked(controller.ScrollDetections());
    const int level = controller.LogWindowLevel();
    int selected = -1;
    for (int i = 0; i < logLevel_->count(); ++i) {
        if (logLevel_->itemText(i).trimmed().section(' ', 0, 0).toInt() == level) selected = i;
    }
    logLevel_->setCurrentIndex(selected);
    if (options_.openConfigurationAtStart) {
        controller.ScheduleStartupConfiguration(100, [this] { OpenConfiguration(); });
    }
}

void MainWindow::ScrollDetectionsToEnd() {
    if (controller_ && controller_->ScrollDetections()) detectionsView_->scrollToBottom();
}

void MainWindow::OnLogLevelChosen(int index) {
    if (index < 0) return;
    bool ok = false;
    const int level = logLevel_->itemText(index).trimmed().section(' ', 0, 0).toInt(&ok);
    if (ok) controller_->SetLogWindowLevel(level);
}

}  // namespace lv
