#include "export/calc/calc_connection.h"

#include <com/sun/star/bridge/UnoUrlResolver.hpp>
#include <com/sun/star/bridge/XUnoUrlResolver.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/sheet/XSpreadsheetView.hpp>
#include <cppuhelper/bootstrap.hxx>
#include <osl/file.hxx>
#include <rtl/bootstrap.hxx>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace com::sun::star;
using css::uno::Reference;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;

namespace calc {

namespace {

const char* const kProgramDir = TAV_LIBREOFFICE_PROGRAM_DIR;

OUString Ascii(const std::string& text) { return OUString::createFromAscii(text.c_str()); }

} // namespace

std::string Utf8(const OUString& text)
{
    return OUStringToOString(text, RTL_TEXTENCODING_UTF8).getStr();
}

OUString FileUrl(const std::string& path)
{
    OUString url;
    osl::FileBase::getFileURLFromSystemPath(OStringToOUString(path.c_str(), RTL_TEXTENCODING_UTF8),
                                            url);
    return url;
}

Reference<uno::XComponentContext> LocalContext()
{
    // The installation's own bootstrap file names the type and service registries and the
    // folders they refer to.
    static const Reference<uno::XComponentContext> context = [] {
        const OUString dir = FileUrl(kProgramDir);
        rtl::Bootstrap::set(OUString("URE_INTERNAL_LIB_DIR"), dir);
        rtl::Bootstrap::set(OUString("LO_LIB_DIR"), dir);
        // The office's types too, or the bridge cannot describe its interfaces.
        rtl::Bootstrap::set(OUString("URE_MORE_TYPES"), dir + "/types/offapi.rdb");
        return cppu::defaultBootstrap_InitialComponentContext(dir + "/unorc");
    }();
    return context;
}

Reference<uno::XComponentContext> JoinOffice(const std::string& pipeName)
{
    const Reference<bridge::XUnoUrlResolver> resolver =
        bridge::UnoUrlResolver::create(LocalContext());
    try {
        return Reference<uno::XComponentContext>(
            resolver->resolve("uno:pipe,name=" + Ascii(pipeName) +
                              ";urp;StarOffice.ComponentContext"),
            UNO_QUERY_THROW);
    } catch (const connection::NoConnectException&) {
        return {};
    }
}

bool StartOffice(const std::string& pipeName)
{
    const std::string soffice = std::string(kProgramDir) + "/soffice";
    const std::string accept = "--accept=pipe,name=" + pipeName + ";urp;";
    const char* const argv[] = {soffice.c_str(), accept.c_str(), "--norestore", "--nologo",
                                nullptr};
    // Twice forked, so the office is nobody's child here and leaves no zombie behind.
    const pid_t child = fork();
    if (child < 0)
        return false;
    if (child == 0) {
        setsid();
        if (fork() == 0) {
            // The office outlives the program: it must not keep the program's output open
            // (a pipe the program writes into would never see its end).
            const int devnull = open("/dev/null", O_RDWR);
            if (devnull >= 0) {
                dup2(devnull, 0);
                dup2(devnull, 1);
                dup2(devnull, 2);
            }
            execv(argv[0], const_cast<char* const*>(argv));
            _exit(127);
        }
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

Reference<frame::XDesktop2> Desktop(const Reference<uno::XComponentContext>& office)
{
    return frame::Desktop::create(office);
}

Reference<sheet::XSpreadsheet> ActiveSheet(const Reference<lang::XComponent>& document)
{
    const Reference<frame::XModel> model(document, UNO_QUERY_THROW);
    const Reference<sheet::XSpreadsheetView> view(model->getCurrentController(), UNO_QUERY);
    if (view.is())
        return view->getActiveSheet();
    const Reference<sheet::XSpreadsheetDocument> spreadsheet(document, UNO_QUERY_THROW);
    const Reference<container::XIndexAccess> sheets(spreadsheet->getSheets(), UNO_QUERY_THROW);
    return Reference<sheet::XSpreadsheet>(sheets->getByIndex(0), UNO_QUERY_THROW);
}

} // namespace calc
