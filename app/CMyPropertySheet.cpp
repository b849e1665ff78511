#include "app/CMyPropertySheet.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/CMyPropertyPage1.h"
#include "app/CMyPropertyPage2.h"
#include "app/CMyPropertyPage3.h"
#include "app/CMyPropertyPage4.h"

CMyPropertySheet::CMyPropertySheet(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Analyzer Properties..."));
  setModal(true);
  m_tabs = new QTabWidget(this);
  m_tabs->setUsesScrollButtons(false);  // all four tabs in sight
  m_pages = {new CMyPropertyPage1(m_tabs), new CMyPropertyPage2(m_tabs), new CMyPropertyPage3(m_tabs),
             new CMyPropertyPage4(m_tabs)};
  for (SettingsPage* page : m_pages) {
    m_tabs->addTab(page, page->title());
    connect(page, &SettingsPage::modifiedChanged, this, &CMyPropertySheet::updateApply);
  }
  m_buttons =
      new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_tabs);
  layout->addWidget(m_buttons);

  m_pages[0]->Activate();
  updateApply();
  connect(m_tabs, &QTabWidget::currentChanged, this, &CMyPropertySheet::onPageChanged);
  connect(m_buttons->button(QDialogButtonBox::Ok), &QPushButton::clicked, this, [this] {
    if (applyAll()) accept();
  });
  connect(m_buttons->button(QDialogButtonBox::Apply), &QPushButton::clicked, this,
          &CMyPropertySheet::applyAll);
  connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

CMyPropertySheet::~CMyPropertySheet() {
  // A sheet destroyed without being closed still saves what was shown.
  if (!m_closed)
    for (SettingsPage* page : m_pages) page->OnDestroy();
}

void CMyPropertySheet::onPageChanged(int index) {
  if (index == m_current) return;
  if (!m_pages[m_current]->OnKillActive()) {
    // The refused field keeps the user on its page.
    const QSignalBlocker block(m_tabs);
    m_tabs->setCurrentIndex(m_current);
    return;
  }
  m_current = index;
  m_pages[index]->Activate();
}

bool CMyPropertySheet::applyAll() {
  if (!m_pages[m_current]->OnKillActive()) return false;
  for (SettingsPage* page : m_pages)
    if (page->IsCreated()) page->OnApply();
  return true;
}

void CMyPropertySheet::updateApply() {
  bool modified = false;
  for (SettingsPage* page : m_pages) modified = modified || page->IsModified();
  m_buttons->button(QDialogButtonBox::Apply)->setEnabled(modified);
}

void CMyPropertySheet::done(int result) {
  if (!m_closed) {
    m_closed = true;
    for (SettingsPage* page : m_pages) page->OnDestroy();
  }
  QDialog::done(result);
}
