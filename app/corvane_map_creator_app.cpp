#include "app/corvane_map_creator_app.h"

#include <QFileInfo>
#include <QLocale>

#include "app/corvane_map_creator_dlg.h"
#include "app/path_choosers.h"
#include "platform/qt/message_box_presenter.h"
#include "platform/qt/settings_store.h"
#include "res/strings.h"

CCorvaneMapCreatorApp::CCorvaneMapCreatorApp(int& argc, char** argv) : application_(argc, argv) {
  QCoreApplication::setOrganizationName(QString::fromUtf16(res::kOrganisation));
  QCoreApplication::setApplicationName(QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName());
  // The window is Czech whatever the desktop's language: so are the choosers,
  // the message-box buttons and the context menus, and their dates and sizes.
  QLocale::setDefault(QLocale(QLocale::Czech, QLocale::Czechia));
  qtTexts_.Install(QString::fromUtf16(res::kQtLanguage));  // without the catalogue Qt stays English
}

CCorvaneMapCreatorApp::~CCorvaneMapCreatorApp() = default;

bool CCorvaneMapCreatorApp::InitInstance() {
  platform::qt::QtSettingsStore settings(QCoreApplication::organizationName(),
                                         QCoreApplication::applicationName());
  platform::qt::QMessageBoxPresenter presenter;
  app::DesktopPathChoosers choosers;
  {
    auto dialog = std::make_unique<CCorvaneMapCreatorDlg>(
        CCorvaneMapCreatorDlg::Services{&settings, &presenter, &choosers});
    dialog->DoModal();
  }  // destroying the dialog closes the map database
  return false;
}
