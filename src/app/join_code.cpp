#include "app/join_code.h"

#include "app/gui_operations.h"
#include "app/service_host.h"
#include "text/convert.h"
#include "text/extract.h"
#include "text/url_encode.h"
#include "web/web_request.h"

namespace joincode {
namespace {

// 获取失败,或者没有此Q群,请重新获取!
const Text kFailureMessage =
    "\xBB\xF1\xC8\xA1\xCA\xA7\xB0\xDC,\xBB\xF2\xD5\xDF\xC3\xBB\xD3\xD0\xB4\xCB"
    "Q\xC8\xBA,\xC7\xEB\xD6\xD8\xD0\xC2\xBB\xF1\xC8\xA1!";
// 友情提示
const Text kFailureTitle = "\xD3\xD1\xC7\xE9\xCC\xE1\xCA\xBE";

constexpr int32_t kOkButtonOnly = 0;

}  // namespace

void GenerateJoinCode() {
  BusyCursor busy;

  // The number goes out as typed: neither trimmed nor checked, so the service decides.
  Text bracketedNumber = Concat("[", GetControlText(kMainWindowId, kEditBox1Id), "]");
  Text encodedNumber = UrlEncode(bracketedNumber, true, false);

  Text keyAnswer = WebRequestText(
      Concat("http://", ServiceHost(), "/wpa/g_wpa_get?guin=", encodedNumber, "&_=1370516986390"));
  Text groupKey = TextBetween(keyAnswer, "\"key\":\"", "\"}]}}");

  // Asked even without a key: the page then carries no param and the user is told.
  Text pageAnswer =
      WebRequestText(Concat("http://", ServiceHost(), "/wpa/qunwpa?idkey=", groupKey));
  Text param = TextBetween(pageAnswer, "u0026param=", "\";");

  SetControlText(kMainWindowId, kEditBox2Id, param);
  if (CompareText(GetControlText(kMainWindowId, kEditBox2Id), "") == 0) {
    ShowMessage(kFailureMessage, kOkButtonOnly, kFailureTitle);
    return;
  }
  SetControlText(
      kMainWindowId, kEditBox3Id,
      Concat("tencent://groupwpa/?subcmd=all&param=", GetControlText(kMainWindowId, kEditBox2Id)));
}

void CopyJoinCode() {
  SetClipboardText(GetControlText(kMainWindowId, kEditBox3Id));
}

}  // namespace joincode
