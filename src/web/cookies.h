// Cookie bookkeeping between requests: the cookies a server set are merged into the cookie text
// that was sent, so one variable passed from request to request carries the whole jar.
//
//   Text sent = "a=1; b=2", received = "b=3";
//   MergeCookies(sent, received);   // sent == "b=3; a=1"
//
// A cookie text is name=value pairs joined by ";". A cookie is nothing but such a pair: no expiry,
// domain or path. Names compare exactly, with regard to case.
#pragma once

#include "text/text.h"

namespace joincode {

// Removes the spaces from both texts (written back), then makes `sentCookies` the received pairs in
// their order followed by each sent pair whose name was not yet taken, joined by "; ", leaving out
// every pair that ends in "=deleted". Returns a copy of the new `sentCookies`.
Text MergeCookies(Text& sentCookies, Text& receivedCookies);

// Whether a member of `pairs` has the name `name` (CookieName of the member, exact comparison).
[[nodiscard]] bool HasCookie(const TextArray& pairs, const Text& name);

}  // namespace joincode
