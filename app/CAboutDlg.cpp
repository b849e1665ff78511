#include "app/CAboutDlg.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "app/AppIcon.h"

namespace {
// Product, interface, version, maker.
const char* const ABOUT_FORMAT =
    "\n"
    "VRIM - Vending Bus Analyzer\n"
    "MDB / Executive / BDV / RS-232\n"
    "\n"
    "for the QX-7700-x acquisition interface\n"
    "(serial link or LAN)\n"
    "\n"
    "Version %1 build %2\n"
    "\n"
    "Made by the VRIM project\n"
    "for vending machine service technicians";
}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("About VRIM"));
  setModal(true);
  auto* outer = new QVBoxLayout(this);
  auto* group = new QGroupBox(this);
  auto* row = new QHBoxLayout(group);
  auto* icon = new QLabel(group);
  icon->setPixmap(AppIcon().pixmap(32, 32));
  icon->setAlignment(Qt::AlignTop | Qt::AlignLeft);
  row->addWidget(icon);
  auto* frame = new QFrame(group);
  frame->setFrameStyle(QFrame::Box | QFrame::Plain);
  auto* inFrame = new QVBoxLayout(frame);
  m_text = new QLabel(frame);
  m_text->setAlignment(Qt::AlignCenter);
  m_text->setTextFormat(Qt::PlainText);
  inFrame->addWidget(m_text);
  row->addWidget(frame, 1);
  outer->addWidget(group);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  buttons->setCenterButtons(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  outer->addWidget(buttons);
  resize(450, 327);  // 300 x 201 dialog units
  OnInitDialog();
}

void CAboutDlg::OnInitDialog() {
  m_strAbout = QString::fromLatin1(ABOUT_FORMAT).arg(QLatin1String(VERSION), QLatin1String(BUILD_DATE));
  m_text->setText(m_strAbout);
}
