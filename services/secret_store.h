#pragma once
// Secrets of the user's provider accounts, kept out of every list and log: in the desktop's
// secret store (the Secret Service, through libsecret) when the session has one, else in a file
// of the per-user data folder that only the user may read ("Secrets/<id>", in a folder of mode
// 0700). Blocking (the secret store may ask the user to unlock it): call it off the window's
// thread.
#include <optional>
#include <string>

namespace secrets {

// The secret of the account kept as source `id` (server and user name go with it, so that the
// store's own window can tell the user whose it is). False when it could be kept nowhere.
bool Store(const std::string& id, const std::string& server, const std::string& user, const std::string& secret);
std::optional<std::string> Lookup(const std::string& id);
void Forget(const std::string& id);

// Tests only: the secret store of the session is passed by, and the file alone is used.
void UseFileOnlyForTests(bool fileOnly);

}  // namespace secrets
