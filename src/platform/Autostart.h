#pragma once

#include <string>

namespace kestrio {

// Whether the desktop opens Kestrio (in the tray) when the user logs in. The desktop's own entry
// is the truth: nothing of it is copied into Kestrio's settings, where it could disagree.
class Autostart {
 public:
  virtual ~Autostart() = default;

  virtual bool enabled() = 0;
  // Adds or removes the entry. False, with a one-line reason in `error`, when it could not be
  // changed; the entry is then as it was.
  virtual bool setEnabled(bool on, std::string& error) = 0;
};

// An XDG autostart entry: the desktop file at `path` (…/autostart/ID.desktop) that runs
// `program --tray`. An entry the desktop's own session settings marked hidden counts as off.
class XdgAutostart final : public Autostart {
 public:
  XdgAutostart(std::string path, std::string program);

  bool enabled() override;
  bool setEnabled(bool on, std::string& error) override;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::string program_;
};

// The program as one argument of a desktop entry's Exec key, quoted and escaped where its
// characters need it (spaces, quotes, '$', '%', backslashes). Nothing for a path no Exec key can
// hold (a line break or another control character).
bool desktopExecArgument(const std::string& program, std::string& argument);

}  // namespace kestrio
