#include "huebox/gradient_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <utility>

namespace varnel::huebox {
namespace {

struct ErrorText {
  GradientFileError error;
  const char* text;
};

constexpr ErrorText kErrorTexts[] = {
    {GradientFileError::kNone, "エラーはありません"},
    {GradientFileError::kCannotOpen, "ファイルを開けません"},
    {GradientFileError::kTooLarge, "ファイルが大きすぎます"},
    {GradientFileError::kNoHeader, "グラデーションファイルではありません(VNGRAD がありません)"},
    {GradientFileError::kUnsupportedVersion, "対応していないバージョンです"},
    {GradientFileError::kUnexpectedLine, "NAME= の行が必要です"},
    {GradientFileError::kBadName, "名前が長すぎるか、制御文字を含んでいます"},
    {GradientFileError::kExpectedStopCount, "STOPS= の行が必要です"},
    {GradientFileError::kBadStopCount, "STOPS= は 1 から 32 までです"},
    {GradientFileError::kMissingStops, "STOPS= の数だけ色の行がありません"},
    {GradientFileError::kBadStop, "色の行は「位置 赤 緑 青 不透明度」です"},
    {GradientFileError::kPositionOutOfRange, "位置は 0 から 1 までです"},
    {GradientFileError::kChannelOutOfRange, "色の値は 0 から 255 までです"},
    {GradientFileError::kTooManyGradients, "グラデーションは 256 個までです"},
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimLeadingBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  return text;
}

std::string_view TrimBlanks(std::string_view text) {
  text = TrimLeadingBlanks(text);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Digits only, at most 9 of them (so the value fits in an int32).
bool ParseSmallInteger(std::string_view text, int32_t& value) {
  if (text.empty() || text.size() > 9) return false;
  int32_t v = 0;
  for (const char c : text) {
    if (!IsDigit(c)) return false;
    v = v * 10 + (c - '0');
  }
  value = v;
  return true;
}

// "digits[.digits]" or ".digits" in ten-thousandths, rounded half up by the fifth decimal.
// Values beyond 9 integer digits are not numbers here; range is the caller's check.
bool ParsePosition(std::string_view text, int64_t& units) {
  const size_t dot = text.find('.');
  const std::string_view whole = text.substr(0, dot);
  const std::string_view fraction = dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
  if (whole.empty() && fraction.empty()) return false;
  if (whole.size() > 9) return false;
  int64_t value = 0;
  for (const char c : whole) {
    if (!IsDigit(c)) return false;
    value = value * 10 + (c - '0');
  }
  value *= kPositionScale;
  int64_t place = kPositionScale / 10;
  for (size_t i = 0; i < fraction.size(); ++i) {
    const char c = fraction[i];
    if (!IsDigit(c)) return false;
    if (place > 0) {
      value += (c - '0') * place;
      place /= 10;
    } else if (i == 4 && c >= '5') {
      value += 1;
    }
  }
  units = value;
  return true;
}

// Splits on runs of blanks.
size_t SplitFields(std::string_view text, std::array<std::string_view, 6>& fields) {
  size_t count = 0;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && IsBlank(text[i])) ++i;
    if (i == text.size()) break;
    size_t end = i;
    while (end < text.size() && !IsBlank(text[end])) ++end;
    if (count == fields.size()) return count + 1;
    fields[count++] = text.substr(i, end - i);
    i = end;
  }
  return count;
}

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

bool IsAcceptableName(std::string_view name) {
  if (name.size() > kMaxNameBytes) return false;
  return std::none_of(name.begin(), name.end(), [](char c) { return IsControl(static_cast<unsigned char>(c)); });
}

// Reads lines one at a time, counting them and dropping the line end.
class LineReader {
 public:
  explicit LineReader(std::string_view text) : m_text(text) {}

  bool Next(std::string_view& line) {
    if (m_position >= m_text.size()) return false;
    size_t end = m_text.find('\n', m_position);
    if (end == std::string_view::npos) end = m_text.size();
    line = m_text.substr(m_position, end - m_position);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    m_position = end + 1;
    ++m_number;
    return true;
  }
  // The next line that is neither blank nor a comment.
  bool NextSignificant(std::string_view& line) {
    while (Next(line)) {
      const std::string_view trimmed = TrimBlanks(line);
      if (!trimmed.empty() && trimmed.front() != '#') return true;
    }
    return false;
  }
  int Number() const { return m_number; }

 private:
  std::string_view m_text;
  size_t m_position = 0;
  int m_number = 0;
};

GradientFileStatus ParseStop(std::string_view line, int lineNumber, GradientStop& stop) {
  std::array<std::string_view, 6> fields;
  if (SplitFields(line, fields) != 5) return {GradientFileError::kBadStop, lineNumber};
  int64_t position = 0;
  if (!ParsePosition(fields[0], position)) return {GradientFileError::kBadStop, lineNumber};
  std::array<int32_t, 4> channels{};
  for (size_t i = 0; i < channels.size(); ++i) {
    if (!ParseSmallInteger(fields[i + 1], channels[i])) return {GradientFileError::kBadStop, lineNumber};
  }
  if (position > kPositionScale) return {GradientFileError::kPositionOutOfRange, lineNumber};
  for (const int32_t c : channels) {
    if (c > 255) return {GradientFileError::kChannelOutOfRange, lineNumber};
  }
  stop.position = static_cast<int32_t>(position);
  stop.colour = {static_cast<uint8_t>(channels[0]), static_cast<uint8_t>(channels[1]),
                 static_cast<uint8_t>(channels[2]), static_cast<uint8_t>(channels[3])};
  return {};
}

void AppendPosition(std::string& out, int32_t position) {
  char text[16];
  std::snprintf(text, sizeof text, "%d.%04d", position / kPositionScale, position % kPositionScale);
  out += text;
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

// Channel of a + (b − a) × num / den, rounded half up; 0 <= num < den.
uint8_t Mix(uint8_t a, uint8_t b, int64_t num, int64_t den) {
  return static_cast<uint8_t>((2 * (int64_t{a} * (den - num) + int64_t{b} * num) + den) / (2 * den));
}

}  // namespace

std::string GradientFileErrorText(const GradientFileStatus& status) {
  std::string text = "?";
  for (const ErrorText& entry : kErrorTexts) {
    if (entry.error == status.error) text = entry.text;
  }
  if (status.line > 0) text = std::to_string(status.line) + " 行目: " + text;
  return text;
}

GradientFileStatus ParseGradientFile(std::string_view text, std::vector<Gradient>& gradients) {
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) text.remove_prefix(kByteOrderMark.size());
  LineReader lines(text);

  std::string_view line;
  if (!lines.Next(line)) return {GradientFileError::kNoHeader, 1};
  {
    std::array<std::string_view, 6> fields;
    const size_t count = SplitFields(line, fields);
    if (count == 0 || fields[0] != kGradientFileHeader) return {GradientFileError::kNoHeader, 1};
    int32_t version = 0;
    if (count != 2 || !ParseSmallInteger(fields[1], version) || version != kGradientFileVersion) {
      return {GradientFileError::kUnsupportedVersion, 1};
    }
  }

  constexpr std::string_view kName = "NAME=";
  constexpr std::string_view kStops = "STOPS=";
  std::vector<Gradient> read;
  while (lines.NextSignificant(line)) {
    line = TrimLeadingBlanks(line);
    if (line.substr(0, kName.size()) != kName) return {GradientFileError::kUnexpectedLine, lines.Number()};
    if (read.size() == kMaxGradients) return {GradientFileError::kTooManyGradients, lines.Number()};
    const std::string_view name = line.substr(kName.size());
    if (!IsAcceptableName(name)) return {GradientFileError::kBadName, lines.Number()};
    Gradient gradient;
    gradient.name = std::string(name);

    if (!lines.NextSignificant(line)) return {GradientFileError::kExpectedStopCount, lines.Number() + 1};
    const std::string_view trimmed = TrimBlanks(line);
    if (trimmed.substr(0, kStops.size()) != kStops) return {GradientFileError::kExpectedStopCount, lines.Number()};
    int32_t count = 0;
    if (!ParseSmallInteger(TrimBlanks(trimmed.substr(kStops.size())), count) || count < 1 ||
        count > static_cast<int32_t>(kMaxStops)) {
      return {GradientFileError::kBadStopCount, lines.Number()};
    }
    gradient.stops.resize(static_cast<size_t>(count));
    for (GradientStop& stop : gradient.stops) {
      if (!lines.NextSignificant(line)) return {GradientFileError::kMissingStops, lines.Number() + 1};
      if (TrimLeadingBlanks(line).substr(0, kName.size()) == kName) return {GradientFileError::kMissingStops, lines.Number()};
      const GradientFileStatus status = ParseStop(line, lines.Number(), stop);
      if (!status.Ok()) return status;
    }
    SortStops(gradient);
    read.push_back(std::move(gradient));
  }
  gradients = std::move(read);
  return {};
}

GradientFileStatus ReadGradientFile(const std::string& path, std::vector<Gradient>& gradients) {
  if (path.empty() || path.find('\0') != std::string::npos) return {GradientFileError::kCannotOpen, 0};
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {GradientFileError::kCannotOpen, 0};
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    return {GradientFileError::kCannotOpen, 0};
  }
  if (static_cast<uint64_t>(info.st_size) > kMaxGradientFileBytes) {
    close(fd);
    return {GradientFileError::kTooLarge, 0};
  }
  // The size is only a hint: read to the end, but never past the limit.
  std::string text;
  char buffer[16384];
  for (;;) {
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      close(fd);
      return {GradientFileError::kCannotOpen, 0};
    }
    if (got == 0) break;
    if (text.size() + static_cast<size_t>(got) > kMaxGradientFileBytes) {
      close(fd);
      return {GradientFileError::kTooLarge, 0};
    }
    text.append(buffer, static_cast<size_t>(got));
  }
  close(fd);
  return ParseGradientFile(text, gradients);
}

std::string FormatGradientFile(const std::vector<Gradient>& gradients) {
  std::string out = std::string(kGradientFileHeader) + " " + std::to_string(kGradientFileVersion) + "\n";
  for (const Gradient& gradient : gradients) {
    out += "\nNAME=" + gradient.name + "\nSTOPS=" + std::to_string(gradient.stops.size()) + "\n";
    for (const GradientStop& stop : gradient.stops) {
      AppendPosition(out, stop.position);
      out += " " + std::to_string(stop.colour.red) + " " + std::to_string(stop.colour.green) + " " +
             std::to_string(stop.colour.blue) + " " + std::to_string(stop.colour.alpha) + "\n";
    }
  }
  return out;
}

bool WriteGradientFile(const std::string& path, const std::vector<Gradient>& gradients) {
  if (gradients.size() > kMaxGradients || !std::all_of(gradients.begin(), gradients.end(), IsValidGradient)) {
    return false;
  }
  if (path.empty() || path.find('\0') != std::string::npos) return false;
  const std::string text = FormatGradientFile(gradients);
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string temporary = folder + (slash == std::string::npos ? "/." : ".") + name + ".XXXXXX";
  const int fd = mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) return false;
  struct stat existing {};
  bool ok = true;
  if (stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) ok = fchmod(fd, existing.st_mode & 07777) == 0;
  ok = ok && WriteAll(fd, text) && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  ok = ok && std::rename(temporary.c_str(), path.c_str()) == 0;
  if (!ok) unlink(temporary.c_str());
  return ok;
}

bool IsValidGradient(const Gradient& gradient) {
  if (!IsAcceptableName(gradient.name)) return false;
  if (gradient.stops.empty() || gradient.stops.size() > kMaxStops) return false;
  for (size_t i = 0; i < gradient.stops.size(); ++i) {
    const int32_t position = gradient.stops[i].position;
    if (position < 0 || position > kPositionScale) return false;
    if (i > 0 && position < gradient.stops[i - 1].position) return false;
  }
  return true;
}

std::string FittingName(std::string_view name) {
  std::string fitted(name.substr(0, std::min(name.size(), kMaxNameBytes)));
  // A cut inside a character drops the whole character.
  if (name.size() > kMaxNameBytes) {
    size_t end = fitted.size();
    while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80) --end;
    fitted.resize(end);
  }
  for (char& c : fitted) {
    if (IsControl(static_cast<unsigned char>(c))) c = ' ';
  }
  return fitted;
}

void SortStops(Gradient& gradient) {
  std::stable_sort(gradient.stops.begin(), gradient.stops.end(),
                   [](const GradientStop& a, const GradientStop& b) { return a.position < b.position; });
}

GradientColour SampleAt(const Gradient& gradient, int64_t index, int64_t last) {
  const std::vector<GradientStop>& stops = gradient.stops;
  if (stops.empty()) return {0, 0, 0, 0};
  if (last < 1) {
    index = 0;
    last = 1;
  }
  // Compared as index × scale against position × last, so no division loses anything.
  const int64_t at = index * kPositionScale;
  if (at < int64_t{stops.front().position} * last) return stops.front().colour;
  size_t a = 0;
  while (a + 1 < stops.size() && int64_t{stops[a + 1].position} * last <= at) ++a;
  if (a + 1 == stops.size()) return stops[a].colour;
  const GradientStop& from = stops[a];
  const GradientStop& to = stops[a + 1];
  const int64_t num = at - int64_t{from.position} * last;
  const int64_t den = int64_t{to.position - from.position} * last;
  return {Mix(from.colour.red, to.colour.red, num, den), Mix(from.colour.green, to.colour.green, num, den),
          Mix(from.colour.blue, to.colour.blue, num, den), Mix(from.colour.alpha, to.colour.alpha, num, den)};
}

void SampleColourRefs(const Gradient& gradient, int32_t count, uint32_t* colours) {
  for (int32_t i = 0; i < count; ++i) {
    const GradientColour c = SampleAt(gradient, i, count - 1);
    colours[i] = uint32_t{c.red} | uint32_t{c.green} << 8 | uint32_t{c.blue} << 16;
  }
}

int AddStop(Gradient& gradient, int index) {
  const int count = static_cast<int>(gradient.stops.size());
  if (index < 0 || index >= count || gradient.stops.size() >= kMaxStops) return -1;
  int32_t position = gradient.stops[static_cast<size_t>(index)].position;
  if (count > 1) {
    const int other = index + 1 < count ? index + 1 : index - 1;
    position = (position + gradient.stops[static_cast<size_t>(other)].position) / 2;
  }
  GradientStop stop;
  stop.position = position;
  stop.colour = SampleAt(gradient, position, kPositionScale);
  // After every stop at the same position, so the colour there does not change.
  auto at = std::upper_bound(gradient.stops.begin(), gradient.stops.end(), position,
                             [](int32_t p, const GradientStop& s) { return p < s.position; });
  at = gradient.stops.insert(at, stop);
  return static_cast<int>(at - gradient.stops.begin());
}

bool DeleteStop(Gradient& gradient, int index) {
  if (gradient.stops.size() <= 1 || index < 0 || index >= static_cast<int>(gradient.stops.size())) return false;
  gradient.stops.erase(gradient.stops.begin() + index);
  return true;
}

int MoveStop(Gradient& gradient, int index, int32_t position) {
  if (index < 0 || index >= static_cast<int>(gradient.stops.size())) return -1;
  GradientStop stop = gradient.stops[static_cast<size_t>(index)];
  stop.position = std::clamp(position, int32_t{0}, kPositionScale);
  gradient.stops.erase(gradient.stops.begin() + index);
  auto at = std::upper_bound(gradient.stops.begin(), gradient.stops.end(), stop.position,
                             [](int32_t p, const GradientStop& s) { return p < s.position; });
  at = gradient.stops.insert(at, stop);
  return static_cast<int>(at - gradient.stops.begin());
}

Gradient DefaultGradient(std::string name) {
  Gradient gradient;
  gradient.name = FittingName(name);
  gradient.stops = {{0, {0, 0, 0, 255}}, {kPositionScale, {255, 255, 255, 255}}};
  return gradient;
}

}  // namespace varnel::huebox
