#pragma once

#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>

#include <rtl/ustring.hxx>
#include <string>

namespace calc {

namespace css = com::sun::star;
using rtl::OString;
using rtl::OStringToOUString;
using rtl::OUString;
using rtl::OUStringToOString;

// The UNO runtime of this process, bootstrapped once from the LibreOffice installation.
css::uno::Reference<css::uno::XComponentContext> LocalContext();

// The component context of the Calc instance that accepts connections on the pipe; an empty
// reference when nobody listens there (a NoConnectException); other failures raise.
css::uno::Reference<css::uno::XComponentContext> JoinOffice(const std::string& pipeName);

// Starts "soffice --accept=pipe,name=<pipe>;urp; --norestore --nologo" detached from this
// process, so it keeps running after the program ends. false when it cannot be started.
bool StartOffice(const std::string& pipeName);

css::uno::Reference<css::frame::XDesktop2>
Desktop(const css::uno::Reference<css::uno::XComponentContext>& office);

// The sheet the document shows, or its first sheet when it has no view.
css::uno::Reference<css::sheet::XSpreadsheet>
ActiveSheet(const css::uno::Reference<css::lang::XComponent>& document);

// A file name as UNO takes it.
OUString FileUrl(const std::string& path);

// The message of a UNO exception, in UTF-8.
std::string Utf8(const OUString& text);

} // namespace calc
