#include "app/CMyPropertyPage3.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "app/CVRIMApp.h"
#include "app/NumberField.h"
#include "platform/ProfileStore.h"

namespace {

const QString SECTION = QStringLiteral("PropertyPage3");
constexpr int MARGIN_DEFAULT_MM = 10;

}  // namespace

CMyPropertyPage3::CMyPropertyPage3(QWidget* parent)
    : SettingsPage(QStringLiteral("Application Settings..."), parent) {
  const auto edit = [this](const char* name) { return watched(new QLineEdit(this), name); };
  m_profileText = new QLabel(this);
  m_profileText->setObjectName(QStringLiteral("profile"));
  m_profileText->setAlignment(Qt::AlignCenter);

  auto* file = new QGroupBox(QStringLiteral("Acquisition file properties"), this);
  m_pathEdit = edit("filepath");
  auto* browse = new QPushButton(QStringLiteral("Browse"), this);
  browse->setObjectName(QStringLiteral("browse"));
  m_nameEdit = edit("filename");
  m_multipleBox =
      watched(new QCheckBox(QStringLiteral("A new file for each aquisition."), this), "filemultiple");
  m_fragmentation = watched(new QComboBox(this), "filemaxsize");
  auto* fileGrid = new QGridLayout(file);
  fileGrid->addWidget(new QLabel(QStringLiteral("Path to aquisition file location:"), this), 0, 0, 1, 2);
  fileGrid->addWidget(m_pathEdit, 1, 0);
  fileGrid->addWidget(browse, 1, 1);
  fileGrid->addWidget(new QLabel(QStringLiteral("Prefered file name: (Extension *.ANL)"), this), 2, 0, 1, 2);
  fileGrid->addWidget(m_nameEdit, 3, 0, 1, 2);
  fileGrid->addWidget(m_multipleBox, 4, 0, 1, 2);
  fileGrid->addWidget(new QLabel(QStringLiteral("Create a new file when current file size reached:"), this),
                      5, 0);
  fileGrid->addWidget(m_fragmentation, 5, 1);

  auto* window = new QGroupBox(QStringLiteral("Initial Window size at startup"), this);
  auto* windowBox = new QVBoxLayout(window);
  m_screenSizes = new QButtonGroup(this);
  int id = 0;
  for (const char* text : {"640x480 Pixel", "800x600 Pixel", "1024x768 Pixel", "1280x1024 Pixel"}) {
    auto* radio = new QRadioButton(QString::fromLatin1(text), window);
    m_screenSizes->addButton(radio, id++);
    windowBox->addWidget(radio);
    watch(radio);
  }

  // The margins stand round a drawn page: top above it, left and right beside it,
  // bottom below it.
  auto* print = new QGroupBox(QStringLiteral("Page setup for printing"), this);
  auto* printGrid = new QGridLayout(print);
  auto* page = new QFrame(print);
  page->setFrameStyle(QFrame::Box | QFrame::Plain);
  page->setMinimumSize(60, 80);
  page->setAutoFillBackground(true);
  page->setBackgroundRole(QPalette::Base);
  const auto margin = [&](QLineEdit* e, int row, int column) {
    e->setAlignment(Qt::AlignRight);
    e->setMaximumWidth(50);
    auto* cell = new QHBoxLayout;
    cell->addWidget(e);
    cell->addWidget(new QLabel(QStringLiteral("mm"), print));
    printGrid->addLayout(cell, row, column, Qt::AlignCenter);
  };
  m_topEdit = edit("margintop");
  m_leftEdit = edit("marginleft");
  m_rightEdit = edit("marginright");
  m_bottomEdit = edit("marginbottom");
  margin(m_topEdit, 0, 1);
  margin(m_leftEdit, 1, 0);
  printGrid->addWidget(page, 1, 1, Qt::AlignCenter);
  margin(m_rightEdit, 1, 2);
  margin(m_bottomEdit, 2, 1);

  auto* grid = new QGridLayout(this);
  grid->addWidget(m_profileText, 0, 0, 1, 2);
  grid->addWidget(file, 1, 0, 1, 2);
  grid->addWidget(window, 2, 0);
  grid->addWidget(print, 2, 1);
  grid->setRowStretch(3, 1);

  connect(browse, &QPushButton::clicked, this, &CMyPropertyPage3::OnBrowseFilePath);
}

void CMyPropertyPage3::OnInitDialog() {
  const CVRIMApp* app = CVRIMApp::Instance();
  const QString key = app ? app->BuildRegistryKeyName() : platform::RegistryKeyName(0).value_or(QString());
  m_profileText->setText(QStringLiteral("This instance uses profile: %1").arg(key));

  platform::ProfileStore& p = platform::Profile();
  m_filePath = p.GetProfileString(SECTION, QStringLiteral("FilePath"), QString());
  m_fileName = p.GetProfileString(SECTION, QStringLiteral("FileName"), QStringLiteral("ANALIZER.ANL"));
  m_multiple = p.GetProfileInt(SECTION, QStringLiteral("FileMultiple"), 1) != 0;
  m_fragmentation->addItems(
      {"No Fragmentation", "100 kBytes", "500 kBytes", "1 MBytes", "5 MBytes", "10 MBytes"});
  selectStored(m_fragmentation, p.GetProfileInt(SECTION, QStringLiteral("FileMaxSize"), 0));
  m_screenSize = static_cast<int32_t>(p.GetProfileInt(SECTION, QStringLiteral("ScreenSize"), 0));
  m_left = p.GetProfileInt(SECTION, QStringLiteral("MarginLeft"), MARGIN_DEFAULT_MM);
  m_top = p.GetProfileInt(SECTION, QStringLiteral("MarginTop"), MARGIN_DEFAULT_MM);
  m_right = p.GetProfileInt(SECTION, QStringLiteral("MarginRight"), MARGIN_DEFAULT_MM);
  m_bottom = p.GetProfileInt(SECTION, QStringLiteral("MarginBottom"), MARGIN_DEFAULT_MM);
  UpdateControls();
}

void CMyPropertyPage3::UpdateControls() {
  m_multipleBox->setChecked(m_multiple);
  m_nameEdit->setText(m_fileName);
  m_pathEdit->setText(m_filePath);
  showUnsigned(m_bottomEdit, m_bottom);
  showUnsigned(m_leftEdit, m_left);
  showUnsigned(m_rightEdit, m_right);
  showUnsigned(m_topEdit, m_top);
  // A size outside the four checks none; it is stored again as it was read.
  if (QAbstractButton* radio = m_screenSizes->button(m_screenSize)) radio->setChecked(true);
}

void CMyPropertyPage3::OnBrowseFilePath() {
  // Starts where the edits point now, and takes only the chosen file's folder: the
  // name edit keeps what it holds.
  const QString start = QDir(m_pathEdit->text()).filePath(m_nameEdit->text());
  const QString chosen =
      QFileDialog::getOpenFileName(this, QStringLiteral("Select location of aquisition file..."), start,
                                   QStringLiteral("Analizer (*.ANL)"));
  if (chosen.isEmpty()) return;
  m_pathEdit->setText(QFileInfo(chosen).absolutePath() + QLatin1Char('/'));
  SetModified(true);
}

bool CMyPropertyPage3::UpdateData() {
  m_multiple = m_multipleBox->isChecked();
  m_fileName = m_nameEdit->text();
  m_filePath = m_pathEdit->text();
  for (auto [edit, field] : {std::pair{m_bottomEdit, &m_bottom}, std::pair{m_leftEdit, &m_left},
                             std::pair{m_rightEdit, &m_right}, std::pair{m_topEdit, &m_top}})
    if (!takeUnsigned(edit, *field)) return false;
  if (m_screenSizes->checkedId() >= 0) m_screenSize = m_screenSizes->checkedId();
  return true;
}

void CMyPropertyPage3::SaveSettings() {
  UpdateData();
  platform::ProfileStore& p = platform::Profile();
  p.WriteProfileString(SECTION, QStringLiteral("FilePath"), m_filePath);
  p.WriteProfileString(SECTION, QStringLiteral("FileName"), m_fileName);
  p.WriteProfileInt(SECTION, QStringLiteral("FileMultiple"), m_multiple ? 1 : 0);
  p.WriteProfileInt(SECTION, QStringLiteral("FileMaxSize"), storedSelection(m_fragmentation));
  p.WriteProfileInt(SECTION, QStringLiteral("ScreenSize"), m_screenSize);
  p.WriteProfileInt(SECTION, QStringLiteral("MarginLeft"), static_cast<int32_t>(m_left));
  p.WriteProfileInt(SECTION, QStringLiteral("MarginTop"), static_cast<int32_t>(m_top));
  p.WriteProfileInt(SECTION, QStringLiteral("MarginRight"), static_cast<int32_t>(m_right));
  p.WriteProfileInt(SECTION, QStringLiteral("MarginBottom"), static_cast<int32_t>(m_bottom));
}
