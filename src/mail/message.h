#pragma once

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace quirabel::mail {

// One mail as it leaves us: the header values in plain UTF-8 and the attachment's bytes. How it
// becomes MIME (boundaries, base64 of the attachment, quoted-printable of the text) is libcurl's.
struct MailMessage {
  std::string fromName;
  std::string fromAddress;
  std::string to;
  std::string subject;
  std::string text;
  std::string attachmentName;   // the PDF's file name
  std::string attachmentBytes;  // the PDF itself
  std::string messageId;        // without the angle brackets
  std::time_t date = 0;
};

// `text` with every <FeldN> (N from 1) replaced by the row's cell of column N; a column beyond
// the row gives an empty text. Any other text in angle brackets stays.
std::string FillFields(std::string_view text, const std::vector<std::string>& cells);

// A header value in UTF-8 as it may stand in a header: unchanged when it is short plain ASCII
// without "=?"; longer plain text folded at its blanks into lines of at most 76 characters;
// otherwise as RFC 2047 encoded words ("=?UTF-8?Q?...?=", at most 75 characters each, never
// splitting a character) joined by folding line breaks.
std::string EncodeHeaderText(std::string_view text);

// The From value: the name as a quoted string or as encoded words, then the address in angle
// brackets; the bare address when there is no name.
std::string MailboxText(std::string_view name, std::string_view address);

// "Mon, 07 Dec 2026 17:20:00 +0100": the local time of `when` with its offset, in English names
// whatever the locale.
std::string DateHeaderValue(std::time_t when);

// Which header value holds a line break, or empty when none does. A mail with one is refused:
// the break would start a header of its own.
std::string InjectedHeader(const MailMessage& message);

// The header lines of a mail besides those libcurl writes for MIME: Date, From, To, Subject,
// Message-ID.
std::vector<std::string> HeaderLines(const MailMessage& message);

// A Message-ID unique to this mail: the unique text given, the time, and the sender's domain.
std::string MakeMessageId(std::string_view unique, std::time_t when, std::string_view fromAddress);

}  // namespace quirabel::mail
