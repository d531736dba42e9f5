#pragma once
// The messages added to the program beyond its design: every dialog, note and window text that
// the designed windows did not have. They are registered with the language engine after the
// designed messages, so the generator writes them and a language translates them; the keys
// follow the engine's naming ("MSG_" and the message's name, upper case).
#include <string_view>
#include <vector>

namespace localisation {

struct AddedMessage {
    std::string_view key, english;
};

const std::vector<AddedMessage>& AddedMessages();

// The English text of an added message; empty for a key that is not one.
std::string_view EnglishText(std::string_view key);

}  // namespace localisation
