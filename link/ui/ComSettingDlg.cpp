#include "link/ui/ComSettingDlg.h"

#include "link/PortReportText.h"
#include "link/PortSettings.h"
#include "platform/DialogUnits.h"
#include "platform/PortCheck.h"
#include "platform/TextToInt.h"
#include "platform/TipAndDescription.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSerialPortInfo>

namespace {

// Template 165, in dialog units.
constexpr int kWidth = 140;
constexpr int kHeight = 143;

struct BoxRow {
    const char* label;
    const char* objectName;
    int id;
    int y;  // the label's row; the box sits 3 units higher
};
constexpr BoxRow kRows[] = {
    {"Com Port", "portBox", 1012, 15},      {"Baud Rate", "baudBox", 1013, 35},
    {"Parity", "parityBox", 1014, 55},      {"Data Bits", "dataBitsBox", 1015, 75},
    {"Stop Bits", "stopBitsBox", 1016, 95},
};

const QStringList kBaudRates = {"110",   "300",   "600",   "1200",  "2400",   "4800",  "9600",
                                "14400", "19200", "38400", "57600", "115200", "230000"};
const QStringList kParities = {"NONE", "ODD", "EVEN", "MASK", "SPACE"};
const QStringList kDataBits = {"4", "5", "6", "7", "8"};
const QStringList kStopBits = {"1", "1.5", "2"};

}  // namespace

CComSettingDlg::CComSettingDlg(PortSettings* settings, QWidget* parent, PortCheckFunction check)
    : QDialog(parent),
      settings_(settings),
      portCheck_(check ? std::move(check) : PortCheckFunction(&PortCheck::Check)) {
    setWindowTitle(QStringLiteral("Com Setting"));
    setFont(DialogUnits::ShellDlgFont());
    const DialogUnits du(font());
    setFixedSize(du.Size(kWidth, kHeight));

    QComboBox* boxes[5] = {};
    for (int i = 0; i < 5; ++i) {
        const BoxRow& row = kRows[i];
        auto* label = new QLabel(QString::fromLatin1(row.label), this);
        label->setGeometry(du.Rect(15, row.y, 40, 10));
        auto* box = new QComboBox(this);
        box->setObjectName(QString::fromLatin1(row.objectName));
        box->setProperty("controlId", row.id);
        box->setGeometry(du.Rect(62, row.y - 3, 65, 12));
        box->setAccessibleName(label->text());
        label->setBuddy(box);
        boxes[i] = box;
    }
    portBox_ = boxes[0];
    baudBox_ = boxes[1];
    parityBox_ = boxes[2];
    dataBitsBox_ = boxes[3];
    stopBitsBox_ = boxes[4];

    FillPortBox();
    const auto fill = [](QComboBox* box, const QStringList& entries, int selected) {
        box->addItems(entries);
        box->setCurrentIndex(selected);
        box->setEnabled(false);
    };
    fill(baudBox_, kBaudRates, 6);
    fill(parityBox_, kParities, 0);
    fill(dataBitsBox_, kDataBits, 4);
    fill(stopBitsBox_, kStopBits, 0);

    auto* ok = new QPushButton(QStringLiteral("Ok"), this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setGeometry(du.Rect(7, 122, 50, 14));
    ok->setDefault(true);
    ok->setAccessibleName(ok->text());
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    cancel->setGeometry(du.Rect(83, 122, 50, 14));
    cancel->setAccessibleName(cancel->text());
    connect(ok, &QPushButton::clicked, this, &CComSettingDlg::OnOk);
    // Only an empty saved port leaves the box without a choice; Ok waits for one.
    ok->setEnabled(portBox_->currentIndex() >= 0);
    connect(portBox_, &QComboBox::currentIndexChanged, ok,
            [ok](int index) { ok->setEnabled(index >= 0); });
    connect(cancel, &QPushButton::clicked, this, [this] { done(kIdCancel); });
    connect(portBox_, &QComboBox::currentIndexChanged, this, &CComSettingDlg::UpdatePortReason);
    UpdatePortReason();
}

void CComSettingDlg::UpdatePortReason() {
    // The entries' own tooltips (the adapters' descriptions) show in the open list; the box's
    // tooltip speaks of the entry it shows.
    const QString text = portBox_->currentIndex() < 0
                             ? QString()
                             : PortReportText(portCheck_(portBox_->currentText()));
    SetTipAndDescription(*portBox_, text);
}

void CComSettingDlg::FillPortBox() {
    for (int n = 1; n <= kComEntries; ++n) {
        portBox_->addItem(QStringLiteral("COM%1").arg(n));
    }
    // On this system the dongle hangs on a device such as /dev/ttyUSB0: offer every serial
    // device found, and the record's own port when it is a path of its own.
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        if (portBox_->findText(info.portName(), Qt::MatchFixedString) >= 0) {
            continue;
        }
        portBox_->addItem(info.portName());
        QString tip = info.description();
        if (!info.manufacturer().isEmpty()) {
            tip += QStringLiteral(" (%1)").arg(info.manufacturer());
        }
        portBox_->setItemData(portBox_->count() - 1, PlainTip(tip), Qt::ToolTipRole);
    }
    // The saved port stays on offer whatever its form, even while its device is unplugged:
    // confirming the dialog must never replace it with nothing.
    int saved = SavedPortIndex();
    if (saved < 0 && !settings_->sPortName.isEmpty()) {
        portBox_->addItem(settings_->sPortName);
        saved = portBox_->count() - 1;
    }
    portBox_->setCurrentIndex(saved);
}

int CComSettingDlg::SavedPortIndex() const {
    const QString& name = settings_->sPortName;
    // "com3" selects "COM3"; device names are case-sensitive, as the file system has them.
    for (int i = 0; i < kComEntries; ++i) {
        if (portBox_->itemText(i).compare(name, Qt::CaseInsensitive) == 0) {
            return i;
        }
    }
    return portBox_->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
}

void CComSettingDlg::OnOk() {
    if (portBox_->currentIndex() < 0) {
        return;
    }
    settings_->sPortName = portBox_->currentText();
    settings_->nBaudRate = TextToInt(baudBox_->currentText());
    settings_->nParity = static_cast<std::uint8_t>(parityBox_->currentIndex());
    settings_->nDataBits = static_cast<std::uint8_t>(TextToInt(dataBitsBox_->currentText()));
    settings_->nStopBits = static_cast<std::uint8_t>(stopBitsBox_->currentIndex());
    done(kIdOk);
}

int CComSettingDlg::DoModal() {
    const int result = exec();
    return result == kIdOk ? kIdOk : kIdCancel;
}
