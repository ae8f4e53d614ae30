#include "deviceinfodialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

DeviceInfoDialog::DeviceInfoDialog(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Device Information"));
    setWindowFlags(windowFlags() | Qt::WindowMinimizeButtonHint);
    resize(350, 80);
    createWidgets();
    createLayout();
    connect(closeButton, &QPushButton::clicked, this, &QDialog::close);
}

void DeviceInfoDialog::createWidgets()
{
    const auto entry = [this](const char* name) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QLatin1String(name));
        edit->setInputMask(QStringLiteral("000.000.000.000"));
        edit->setPlaceholderText(QStringLiteral("0.0.0.0"));
        return edit;
    };
    ipAddressEdit = entry("ipAddressEdit");
    gatewayEdit = entry("gatewayEdit");
    subnetEdit = entry("subnetEdit");
    buttonBox = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Close, this);
    saveButton = buttonBox->button(QDialogButtonBox::Save);
    closeButton = buttonBox->button(QDialogButtonBox::Close);
}

void DeviceInfoDialog::createLayout()
{
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Device IP Address: "), ipAddressEdit);
    form->addRow(QStringLiteral("Device Gateway: "), gatewayEdit);
    form->addRow(QStringLiteral("Device Subnet: "), subnetEdit);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttonBox);
}
