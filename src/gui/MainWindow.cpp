#include "gui/MainWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QKeySequence>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

#include "app/MainController.h"
#include "base/DateTexts.h"
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

// An alert band: a coloured frame (hidden at first) holding an optional warning sign,
// a wrapped text named "<name>Text" and, after it, the buttons AddBandButton adds.
QFrame* MakeBand(QWidget* parent, const char* name, const QString& colours, bool warningSign, const QFont* font,
                 QLabel*& text) {
    auto* band = new QFrame(parent);
    band->setObjectName(name);
    band->setStyleSheet(colours);
    auto* row = new QHBoxLayout(band);
    if (warningSign) {
        auto* sign = new QLabel(band);
        sign->setPixmap(WarningImage(28));
        row->addWidget(sign);
    }
    text = new QLabel(band);
    text->setObjectName(QString(name) + "Text");
    if (font) text->setFont(*font);
    text->setWordWrap(true);
    text->setTextInteractionFlags(Qt::NoTextInteraction);
    row->addWidget(text, 1);
    band->hide();
    return band;
}

QPushButton* AddBandButton(QWidget* band, const QString& label, const char* name, const QString& tip = {}) {
    auto* button = new QPushButton(label, band);
    button->setObjectName(name);
    button->setAutoDefault(false);
    if (!tip.isEmpty()) button->setToolTip(tip);
    band->layout()->addWidget(button);
    return button;
}

constexpr int kBoxIconSize = 32;
constexpr int kLinkIconSize = 28;


QPushButton* MakeButton(const QString& text, const char* name, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    const int lines = text.contains('\n') ? 2 : 1;
    button->setMinimumHeight(button->fontMetrics().height() * lines + button->fontMetrics().height() / 2 + 8);
    return button;
}

// A command's key, on its button and in its tooltip.
void GiveShortcut(QPushButton* button, const QKeySequence& keys) {
    button->setShortcut(keys);
    QString tip = button->text();
    tip.replace('\n', ' ');
    button->setToolTip(QString("%1 (%2)").arg(tip, keys.toString(QKeySequence::NativeText)));
}

// The preferred size of the window, when the screen has room for it.
constexpr int kPreferredWidth = 1360;
constexpr int kPreferredHeight = 820;
// Room kept for the window's frame and title bar within the available area.
constexpr int kFrameAllowanceWidth = 16;
constexpr int kFrameAllowanceHeight = 40;

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
    PlaceInsideScreen();
    if (options_.clock) StartClock();
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
    // The runners' lines carry the longer texts (a French rank with its categories):
    // they get the larger share, the detections list keeps room for its columns.
    upper->addLayout(detectionsBox, 2);
    upper->addLayout(summaryBox, 3);

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

    // The bands take their room from the lists: the button column never moves, and the
    // window never has to grow when one shows.
    auto* left = new QVBoxLayout;
    left->addWidget(BuildAlerts());
    left->addLayout(upper, 3);
    left->addLayout(lower, 2);

    auto* main = new QHBoxLayout(this);
    main->addLayout(left, 1);
    main->addWidget(BuildButtonsColumn());
}

QWidget* MainWindow::BuildAlerts() {
    auto* alerts = new QWidget(this);
    auto* layout = new QVBoxLayout(alerts);
    layout->setContentsMargins(0, 0, 0, 0);
    QFont bold = font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.15);

    // A lost box: orange, until the box is back or the operator has seen it.
    lostBoxAlert_ = MakeBand(alerts, "lostBoxAlert",
                             "#lostBoxAlert { background: #ff8c00; border: 2px solid #b00000; }"
                             "#lostBoxAlert QLabel { color: black; }",
                             true, &bold, lostBoxAlertText_);
    reconnectLostBoxes_ = AddBandButton(lostBoxAlert_, T("Reconnect now", "Reconnecter maintenant"), "reconnectLostBoxes",
                                        T("Try the lost boxes again at once.",
                                          "Essayer de nouveau les boîtiers perdus tout de suite."));
    dismissLostBoxAlert_ = AddBandButton(lostBoxAlert_, T("Seen", "Vu"), "dismissLostBoxAlert",
                                         T("Hide this alert; a new loss shows it again.",
                                           "Masquer cette alerte ; une nouvelle perte la montre à nouveau."));
    layout->addWidget(lostBoxAlert_);

    // The timing application lost: orange like a lost box, until the link is back (it
    // reconnects by itself) or switched off; never a modal box over the results.
    linkLostAlert_ = MakeBand(alerts, "linkLostAlert",
                              "#linkLostAlert { background: #ff8c00; border: 2px solid #b00000; }"
                              "#linkLostAlert QLabel { color: black; }",
                              true, &bold, linkLostAlertText_);
    reconnectLink_ = AddBandButton(linkLostAlert_, T("Reconnect now", "Reconnecter maintenant"), "reconnectLink",
                                   T("Try the connection again at once instead of at the next attempt.",
                                     "Essayer de nouveau la connexion tout de suite au lieu de la prochaine tentative."));
    layout->addWidget(linkLostAlert_);

    // An alert of one moment (a box's memory started again, passings waiting for a clock,
    // a server the exports cannot reach): yellow, the latest ones, until seen. Never a
    // modal box over the results.
    operatorAlert_ = MakeBand(alerts, "operatorAlert",
                              "#operatorAlert { background: #ffd54f; border: 2px solid #b07000; }"
                              "#operatorAlert QLabel { color: black; }",
                              false, nullptr, operatorAlertText_);
    dismissOperatorAlert_ = AddBandButton(operatorAlert_, T("Seen", "Vu"), "dismissOperatorAlert");
    layout->addWidget(operatorAlert_);

    // A detection file of an earlier run continued: blue, until the operator has seen it;
    // the reset of the list at hand for a start that should not have resumed.
    resumeNotice_ = MakeBand(alerts, "resumeNotice",
                             "#resumeNotice { background: #cfe3ff; border: 2px solid #1f4e9c; }"
                             "#resumeNotice QLabel { color: black; }",
                             false, nullptr, resumeNoticeText_);
    resetFromResumeNotice_ =
        AddBandButton(resumeNotice_, T("Reset the detection list", "Remettre à zéro la liste"), "resetFromResumeNotice",
                      T("Start a new detection file, as the reset button does.",
                        "Commencer un nouveau fichier de détections, comme le bouton de remise à zéro."));
    dismissResumeNotice_ = AddBandButton(resumeNotice_, T("Seen", "Vu"), "dismissResumeNotice");
    layout->addWidget(resumeNotice_);

    // Detection lines not in the detection file yet: red, until the file caught up.
    journalAlert_ = MakeBand(alerts, "journalAlert",
                             "#journalAlert { background: #c00000; } #journalAlert QLabel { color: white; }", true,
                             &bold, journalAlertText_);
    layout->addWidget(journalAlert_);
    return alerts;
}

QWidget* MainWindow::BuildButtonsColumn() {
    // The commands scroll when a small screen or large fonts leave too little height;
    // help and exit stay below them, always in sight.
    auto* holder = new QWidget(this);
    holder->setObjectName("buttonsHolder");
    auto* holderLayout = new QVBoxLayout(holder);
    holderLayout->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea(holder);
    scroll->setObjectName("buttonsScroll");
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scroll->setWidgetResizable(true);
    auto* column = new QWidget(scroll);
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);

    version_ = new QLabel(VersionText(), column);
    version_->setObjectName("version");
    version_->setAlignment(Qt::AlignCenter);
    layout->addWidget(version_);

    // The computer's time, which the timekeeper compares with the official clock.
    clock_ = new QLabel("00:00:00", column);
    clock_->setObjectName("clock");
    clock_->setAlignment(Qt::AlignCenter);
    QFont clockFont = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    clockFont.setBold(true);
    clockFont.setPointSizeF(font().pointSizeF() * 2.4);
    clock_->setFont(clockFont);
    clock_->setToolTip(T("The computer's time", "L'heure de l'ordinateur"));
    clockDate_ = new QLabel(column);
    clockDate_->setObjectName("clockDate");
    clockDate_->setAlignment(Qt::AlignCenter);
    layout->addWidget(clock_);
    layout->addWidget(clockDate_);

    // Box state icons, clickable for their menus, each with its reads and the age of
    // its last read under it.
    auto* boxes = new QHBoxLayout;
    for (int i = 0; i < 4; ++i) {
        auto* boxColumn = new QVBoxLayout;
        boxColumn->setSpacing(0);
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
        auto* activity = new QLabel(column);
        activity->setObjectName(QString("boxActivity%1").arg(i + 1));
        activity->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        // Two lines always: the row never changes height as reads come.
        activity->setMinimumHeight(activity->fontMetrics().lineSpacing() * 2);
        boxActivity_[static_cast<std::size_t>(i)] = activity;
        boxColumn->addWidget(button, 0, Qt::AlignHCenter);
        boxColumn->addWidget(activity);
        boxes->addLayout(boxColumn, 1);
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
    for (QPushButton* b : {connect_, configuration_, synchronise_, displayClocks_, import_, insert_, export_, reset_})
        layout->addWidget(b);
    // What waits for the timing application, beside its toggle.
    auto* directRow = new QHBoxLayout;
    directRow->addWidget(direct_, 1);
    backlog_ = new QLabel("0", column);
    backlog_->setObjectName("backlog");
    backlog_->setAlignment(Qt::AlignCenter);
    backlog_->setMinimumWidth(backlog_->fontMetrics().horizontalAdvance("000000") + 8);
    backlog_->setToolTip(T("Detections waiting to be sent to Quillet-Pro",
                           "Détections en attente d'envoi à Quillet-Pro"));
    directRow->addWidget(backlog_);
    layout->addLayout(directRow);
    ShowForwardingBacklog(0);
    GiveShortcut(connect_, QKeySequence(Qt::CTRL | Qt::Key_B));
    GiveShortcut(insert_, QKeySequence(Qt::CTRL | Qt::Key_I));
    GiveShortcut(export_, QKeySequence(Qt::CTRL | Qt::Key_E));

    speech_ = new QCheckBox(T("Speak runner names", "Annoncer les coureurs"), column);
    speech_->setObjectName("speech");
    speech_->setToolTip(T("Speaks the name of each runner the timing application answers for.",
                          "Annonce le nom de chaque coureur pour lequel Quillet-Pro répond."));
    speech_->setVisible(speaker_->Available());
    layout->addWidget(speech_);
    layout->addStretch(1);

    auto* bottom = new QHBoxLayout;
    help_ = new QPushButton("?", holder);
    help_->setObjectName("help");
    help_->setAutoDefault(false);
    help_->setToolTip(T("Help...", "Aide..."));
    help_->setFixedWidth(help_->fontMetrics().horizontalAdvance("??") * 2);
    exit_ = MakeButton(T("Exit", "Quitter"), "exit", holder);
    bottom->addWidget(help_);
    bottom->addWidget(exit_, 1);
    FixButtonsColumnWidth(column);
    scroll->setWidget(column);
    // Room for the scroll bar, so that it never covers the buttons.
    const int width = column->width() + scroll->verticalScrollBar()->sizeHint().width();
    scroll->setFixedWidth(width);
    holder->setFixedWidth(width);
    holderLayout->addWidget(scroll, 1);
    holderLayout->addLayout(bottom);
    return holder;
}

void MainWindow::FixButtonsColumnWidth(QWidget* column) {
    // The widest the counter may ever say, in either wording, then every button.
    const QFontMetrics counterMetrics(counter_->font());
    int width = std::max({counterMetrics.horizontalAdvance(QString::fromUtf8("999999 détections enregistrées")),
                          counterMetrics.horizontalAdvance("999999 detections recorded"),
                          QFontMetrics(clock_->font()).horizontalAdvance("00:00:00"),
                          clockDate_->fontMetrics().horizontalAdvance(QString::fromUtf8("mercredi 30 septembre 2026"))});
    for (QPushButton* b : column->findChildren<QPushButton*>()) width = std::max(width, b->sizeHint().width());
    width = std::max(width, exit_->sizeHint().width() + help_->width());
    column->setFixedWidth(width + 16);
    counter_->setWordWrap(false);
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
    connect(detectionsView_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { OnDetectionSelectionChanged(); });
    connect(dismissLostBoxAlert_, &QPushButton::clicked, this, [this] {
        if (controller_) controller_->DismissLostBoxAlert();
    });
    connect(reconnectLostBoxes_, &QPushButton::clicked, this, [this] {
        if (controller_) controller_->ReconnectLostBoxesNow();
    });
    connect(reconnectLink_, &QPushButton::clicked, this, [this] {
        if (controller_) controller_->ReconnectLinkNow();
    });
    connect(dismissOperatorAlert_, &QPushButton::clicked, this, [this] {
        operatorAlerts_.clear();
        operatorAlert_->hide();
    });
    connect(dismissResumeNotice_, &QPushButton::clicked, this, [this] {
        if (controller_) controller_->DismissResumeNotice();
    });
    connect(resetFromResumeNotice_, &QPushButton::clicked, this, [this] {
        if (controller_) controller_->ConfirmResetDetections();
    });
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
    // A selected detection stays where the operator sees it.
    if (detectionsView_->selectionModel()->hasSelection()) return;
    if (controller_ && controller_->ScrollDetections()) detectionsView_->scrollToBottom();
}

void MainWindow::OnDetectionSelectionChanged() {
    if (!detectionsView_->selectionModel()->hasSelection()) ScrollDetectionsToEnd();
}

QSize MainWindow::FitInside(const QSize& preferred, const QSize& minimum, const QSize& available) {
    const QSize room(available.width() - kFrameAllowanceWidth, available.height() - kFrameAllowanceHeight);
    return QSize(std::max(minimum.width(), std::min(preferred.width(), room.width())),
                 std::max(minimum.height(), std::min(preferred.height(), room.height())));
}

void MainWindow::PlaceInsideScreen() {
    QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen) {
        resize(kPreferredWidth, kPreferredHeight);
        return;
    }
    const QRect available = screen->availableGeometry();
    const QSize size = FitInside(QSize(kPreferredWidth, kPreferredHeight), minimumSizeHint(), available.size());
    resize(size);
    // Centred in the available area, its title bar never above it.
    const int x = available.x() + std::max(0, (available.width() - size.width() - kFrameAllowanceWidth) / 2);
    const int y = available.y() + std::max(0, (available.height() - size.height() - kFrameAllowanceHeight) / 2);
    move(x, y);
}

void MainWindow::ShowClock(const std::tm& local) {
    clock_->setText(ToQt(FormatClockTime(local)));
    clockDate_->setText(ToQt(FormatClockDate(local)));
}

void MainWindow::StartClock() {
    auto tick = [this] {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        if (localtime_r(&now, &local)) ShowClock(local);
    };
    tick();
    // Four times a second: the shown second changes at most a quarter second late.
    auto* timer = new QTimer(this);
    timer->setInterval(250);
    connect(timer, &QTimer::timeout, this, tick);
    timer->start();
}

void MainWindow::OnLogLevelChosen(int index) {
    if (index < 0) return;
    bool ok = false;
    const int level = logLevel_->itemText(index).trimmed().section(' ', 0, 0).toInt(&ok);
    if (ok) controller_->SetLogWindowLevel(level);
}

}  // namespace lv
