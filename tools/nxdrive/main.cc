// nxdrive: runs the setup window of the program on the machine NXSETUP_MACHINE names, the
// operator's part read from a script (a file, or standard input), and prints what happens.
//
//   nxdrive [--program WINPATH] [--window] [--pause MS] [--screenshots PREFIX] [SCRIPT]
//
// Exit codes: 0 the script ran to its end (whatever the installer did), 1 the run could not
// start, 2 a script line that is no action, 3 a question or folder dialog with no queued answer.

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEventLoop>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <QTimer>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <deque>
#include <exception>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <memory>
#include <optional>
#include <sstream>
#include <string>

#include "app/FInstall.h"
#include "app/application.h"
#include "app/qt/finstall_window.h"
#include "app/qt/look.h"
#include "platform/error.h"
#include "platform/hosted_machine.h"
#include "platform/platform.h"
#include "tools/nxdrive/fault.h"
#include "tools/nxdrive/screenshots.h"
#include "tools/nxdrive/script.h"

namespace nx::drive {

namespace {

constexpr int kExitRan = 0, kExitCannotStart = 1, kExitScript = 2, kExitUnanswered = 3;

FILE* transcript = stdout;
FILE* diagnostics = stderr;
FILE* Transcript() { return transcript; }
FILE* Diagnostics() { return diagnostics; }

// The commands the installer runs hidden have consoles of their own on Windows, which nobody
// sees: their output goes to a file of the machine instead of into the transcript.
void SendConsolesTo(const std::string& file) {
  std::fflush(stdout);
  std::fflush(stderr);
  const int out = ::dup(1), err = ::dup(2);
  const int console = ::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (out < 0 || err < 0 || console < 0) return;  // the transcript stays readable, if mixed
  ::fcntl(out, F_SETFD, FD_CLOEXEC);
  ::fcntl(err, F_SETFD, FD_CLOEXEC);
  transcript = ::fdopen(out, "w");
  diagnostics = ::fdopen(err, "w");
  if (transcript == nullptr || diagnostics == nullptr) {
    transcript = stdout;
    diagnostics = stderr;
    return;
  }
  std::setvbuf(diagnostics, nullptr, _IONBF, 0);
  ::dup2(console, 1);
  ::dup2(console, 2);
  ::close(console);
}

// One line of the transcript: carriage returns and line feeds shown as \r and \n.
// Carriage returns and line feeds as \\r and \\n, so that a text stays on one line.
std::string Visible(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
  return out;
}

void Print(const std::string& line) {
  std::fputs((Visible(line) + "\n").c_str(), Transcript());
  std::fflush(Transcript());
}

const char* Bool(bool b) { return b ? "true" : "false"; }

// Thrown through the handler when the script has no answer: it is no error a handler may
// catch and go on from.
struct NoAnswer {};

struct QueuedAnswer {
  Answer answer;
  int line;
};

class DriverOperator final : public Operator {
 public:
  void Queue(const Action& a) {
    if (a.kind == Action::Kind::kAnswer) {
      answers_.push_back({a.answer == 0 ? Answer::kYes : a.answer == 1 ? Answer::kNo : Answer::kCancel, a.line});
    } else if (a.cancel) {
      folders_.push_back(std::nullopt);
    } else {
      folders_.push_back(a.value);
    }
  }

  void ShowMessage(const std::string& text) override {
    Print(std::string("message: [") + kApplicationTitle + "] " + text);
    if (OnMessage) OnMessage(text);
  }
  std::function<void(const std::string&)> OnMessage;
  Answer AskYesNo(const std::string& text, const std::string& caption) override {
    return Ask(text, caption, false);
  }
  Answer AskYesNoCancel(const std::string& text, const std::string& caption) override {
    return Ask(text, caption, true);
  }
  std::optional<std::string> BrowseForFolder(const std::string& title) override {
    if (folders_.empty()) Unanswered("folder dialog [" + title + "]");
    std::optional<std::string> folder = folders_.front();
    folders_.pop_front();
    Print("folder: " + (folder ? *folder : std::string("cancel")));
    return folder;
  }

  // What was asked and not answered; the run ends with exit code 3.
  const std::optional<std::string>& unanswered() const { return unanswered_; }
  // An answer that does not fit its question (Cancelar for a Yes/No box): the line, 0 for none.
  int misfit() const { return misfit_; }
  size_t leftOver() const { return answers_.size() + folders_.size(); }

 private:
  Answer Ask(const std::string& text, const std::string& caption, bool withCancel) {
    Print("question: [" + caption + "] " + text);
    if (answers_.empty()) Unanswered("question [" + caption + "] " + Visible(text));
    const QueuedAnswer next = answers_.front();
    answers_.pop_front();
    if (next.answer == Answer::kCancel && !withCancel) {
      misfit_ = next.line;
      throw NoAnswer{};
    }
    Print(std::string("answer: ") +
          (next.answer == Answer::kYes ? "Sí" : next.answer == Answer::kNo ? "No" : "Cancelar"));
    return next.answer;
  }

  [[noreturn]] void Unanswered(const std::string& what) {
    unanswered_ = what;
    throw NoAnswer{};
  }

  std::deque<QueuedAnswer> answers_;
  std::deque<std::optional<std::string>> folders_;
  std::optional<std::string> unanswered_;
  int misfit_ = 0;
};

void PrintState(const TFInstalacion& f) {
  auto field = [](const std::string& name, const std::string& value) { Print(name + " = " + value); };
  field("Caption", f.Caption());
  field("PathActual", f.PathActual);
  field("puerto", std::to_string(f.puerto));
  field("SwnxFirebird", Bool(f.SwnxFirebird));
  field("SwDbnx", Bool(f.SwDbnx));
  field("SwServidor", Bool(f.SwServidor));
  field("Aplicacion", f.Aplicacion);
  field("Ejecutable", f.Ejecutable);
  field("Version", f.Version);
  field("NombreLargo", f.NombreLargo);
  field("FIREBIRD", f.FIREBIRD);
  field("FBPATH", f.FBPATH);
  field("Titulo.Caption", f.Titulo.Caption());
  for (int i = 0; i < static_cast<int>(f.opciones.Items().size()); ++i)
    field("opciones.Checked[" + std::to_string(i) + "]", Bool(f.opciones.Checked(i)));
  for (const TLabeledEdit* e : {&f.Path, &f.Host, &f.LPuerto}) {
    field(e->Name() + ".Text", e->Text());
    field(e->Name() + ".ReadOnly", Bool(e->ReadOnly()));
    field(e->Name() + ".Visible", Bool(e->Visible()));
  }
  field("Path.Width", std::to_string(f.Path.Width()));
  field("CambiaCarpeta.Visible", Bool(f.CambiaCarpeta.Visible()));
  for (const TCheckBox* c : {&f.Escritorio, &f.CheckInicio, &f.CkMuestra}) {
    field(c->Name() + ".Checked", Bool(c->Checked()));
    field(c->Name() + ".Visible", Bool(c->Visible()));
  }
  field("BSoporte.Visible", Bool(f.BSoporte.Visible()));
  field("CSoporte.Visible", Bool(f.CSoporte.Visible()));
  field("CSoporte.Text", f.CSoporte.Text());
  field("CSoporte.ItemIndex", std::to_string(f.CSoporte.ItemIndex()));
  field("PBar.Visible", Bool(f.PBar.Visible()));
  field("PBar.Max", std::to_string(f.PBar.Max()));
  field("PBar.Position", std::to_string(f.PBar.Position()));
  field("Llinea.Visible", Bool(f.Llinea.Visible()));
  field("Llinea.Text", f.Llinea.Text());
  field("Botones.Visible", Bool(f.Botones.Visible()));
  field("Screen.Cursor", f.ScreenCursor() == TCursor::crHourGlass ? "crHourGlass" : "crDefault");
}

// A view for the window model alone: nothing to draw.
class NoView final : public FormView {
 public:
  void ControlChanged(const TControl&) override {}
  void FormChanged() override {}
  void ProcessMessages() override {}
  void FormClosed() override {}
};

class Driver {
 public:
  Driver(TFInstalacion& form, FInstallWindow* window, int pauseMs, StageCamera* camera)
      : form_(form), window_(window), pauseMs_(pauseMs), camera_(camera) {}

  // Runs one action; false when the operator could not have done it (reported).
  void Run(const Action& a) {
    using K = Action::Kind;
    if (form_.Closed() && a.kind != K::kShow && a.kind != K::kAnswer && a.kind != K::kFolder) {
      Refused(a, "the window is closed");
      return;
    }
    switch (a.kind) {
      case K::kActivate: Activate(); break;
      case K::kShow: PrintState(form_); break;
      case K::kAnswer:
      case K::kFolder: break;  // queued by the caller
      case K::kTick: {
        const int item = a.target == "server" ? 0 : 1;
        if (!form_.opciones.Showing()) return Refused(a, "opciones is hidden");
        if (form_.opciones.Checked(item) == a.on) break;
        if (window_ != nullptr) {
          auto* list = static_cast<QListWidget*>(window_->WidgetOf(form_.opciones));
          list->item(item)->setCheckState(a.on ? Qt::Checked : Qt::Unchecked);
        } else {
          form_.opciones.ClickCheck(item);
        }
        break;
      }
      case K::kCheck: {
        TCheckBox& box = a.target == "Escritorio" ? form_.Escritorio
                         : a.target == "CheckInicio" ? form_.CheckInicio : form_.CkMuestra;
        if (!box.Showing()) return Refused(a, a.target + " is hidden");
        if (box.Checked() == a.on) break;
        if (window_ != nullptr) {
          static_cast<QCheckBox*>(window_->WidgetOf(box))->click();
        } else {
          box.SetChecked(a.on);
        }
        break;
      }
      case K::kType: {
        TLabeledEdit& edit = a.target == "Path" ? form_.Path : a.target == "Host" ? form_.Host : form_.LPuerto;
        if (!edit.Showing()) return Refused(a, a.target + " is hidden");
        if (edit.ReadOnly()) return Refused(a, a.target + " is read-only");
        if (window_ != nullptr) {
          auto* line = static_cast<QLineEdit*>(window_->WidgetOf(edit));
          line->setFocus();
          line->selectAll();
          line->insert(QString::fromStdString(a.value));
          if (a.value.empty()) line->del();
        } else {
          edit.SetText(a.value);
        }
        break;
      }
      case K::kClick: {
        TSpeedButton& button = a.target == "Instalar"        ? form_.BComenzar
                               : a.target == "Cancelar"      ? form_.BCancelar
                               : a.target == "CambiaCarpeta" ? form_.CambiaCarpeta
                                                             : form_.BSoporte;
        if (!button.Showing()) return Refused(a, a.target + " is hidden");
        if (camera_ != nullptr && &button == &form_.BComenzar) camera_->BeforeInstall();
        if (window_ != nullptr) {
          static_cast<QAbstractButton*>(window_->WidgetOf(button))->click();
        } else {
          button.Click();
        }
        break;
      }
      case K::kKeys:
        if (window_ != nullptr) {
          Keys(a.shortCut);
        } else if (a.shortCut == form_.Action1.ShortCut) {
          form_.Action1.Execute();
        }
        break;
      case K::kSelect: {
        if (!form_.CSoporte.Showing()) return Refused(a, "CSoporte is hidden");
        if (a.index < -1 || a.index >= static_cast<int>(form_.CSoporte.Items().size()))
          return Refused(a, "CSoporte has no item " + std::to_string(a.index));
        if (window_ != nullptr) {
          auto* combo = static_cast<QComboBox*>(window_->WidgetOf(form_.CSoporte));
          combo->setCurrentIndex(a.index);
          emit combo->activated(a.index);
          if (a.index < 0) form_.CSoporte.SetItemIndex(-1);
        } else {
          form_.CSoporte.SetItemIndex(a.index);
        }
        break;
      }
    }
    Settle();
  }

 private:
  void Refused(const Action& a, const std::string& why) { Print("refused: " + a.text + " (" + why + ")"); }

  void Activate() {
    if (window_ != nullptr) {
      window_->activateWindow();
      QCoreApplication::processEvents();
    }
    form_.Activate();
  }

  void Keys(uint16_t shortCut) {
    Qt::KeyboardModifiers mods;
    if (shortCut & TAction::kCtrl) mods |= Qt::ControlModifier;
    if (shortCut & TAction::kAlt) mods |= Qt::AltModifier;
    if (shortCut & TAction::kShift) mods |= Qt::ShiftModifier;
    QTest::keyClick(window_, static_cast<Qt::Key>(shortCut & 0xFF), mods);
  }

  // The window catches up, and a person watching gets time to see the step.
  void Settle() {
    if (window_ == nullptr) return;
    QCoreApplication::processEvents();
    if (pauseMs_ > 0) {
      QEventLoop loop;
      QTimer::singleShot(pauseMs_, &loop, &QEventLoop::quit);
      loop.exec();
    }
  }

  TFInstalacion& form_;
  FInstallWindow* window_;
  int pauseMs_;
  StageCamera* camera_;
};

struct Options {
  std::string program = "D:\\";
  bool window = false;
  int pauseMs = 0;
  std::string screenshots;  // prefix of the pictures' host paths; empty for none
  std::string script;  // empty or "-": standard input
};

void Usage(FILE* out) {
  std::fputs("usage: nxdrive [--program WINPATH] [--window] [--pause MS] [--screenshots PREFIX] [SCRIPT]\n"
             "  Runs the setup window on the machine NXSETUP_MACHINE names, as the program would run\n"
             "  from the folder WINPATH (default D:\\), the operator's actions read from SCRIPT (or\n"
             "  standard input), one per line:\n"
             "    activate | show\n"
             "    tick server|workstation on|off\n"
             "    check Escritorio|CheckInicio|CkMuestra on|off\n"
             "    type Path|Host|LPuerto TEXT\n"
             "    click Instalar|Cancelar|CambiaCarpeta|BSoporte\n"
             "    keys Ctrl+Alt+L\n"
             "    select CSoporte N            (-1 for no selection)\n"
             "    answer Si|No|Cancelar        (for the next question)\n"
             "    folder TEXT | folder cancel  (for the next folder dialog)\n"
             "  --window drives the real window (QT_QPA_PLATFORM=offscreen for none on screen);\n"
             "  --pause MS waits that long after each action there, for a person to watch.\n"
             "  --screenshots PREFIX (with --window) saves PREFIX-1-choices.png before Instalar is\n"
             "    clicked, PREFIX-2-installing.png halfway through, PREFIX-3-final-message.png.\n"
             "  Exit codes: 0 ran to the end, 2 a line that is no action, 3 a question with no answer.\n",
             out);
}

// std::nullopt after printing the usage (exit code in `code`).
std::optional<Options> ParseArguments(int argc, char** argv, int& code) {
  Options o;
  bool scriptGiven = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      Usage(Transcript());
      code = 0;
      return std::nullopt;
    } else if (arg == "--window") {
      o.window = true;
    } else if (arg == "--screenshots" && i + 1 < argc) {
      o.screenshots = argv[++i];
      if (o.screenshots.empty()) {
        std::fputs("nxdrive: --screenshots needs a file name prefix\n", Diagnostics());
        code = kExitScript;
        return std::nullopt;
      }
    } else if ((arg == "--program" || arg == "--pause") && i + 1 < argc) {
      const std::string value = argv[++i];
      if (arg == "--program") {
        o.program = value;
        if (o.program.empty()) {
          std::fputs("nxdrive: --program needs a Windows folder\n", Diagnostics());
          code = kExitScript;
          return std::nullopt;
        }
        if (o.program.back() != '\\') o.program += '\\';
      } else {
        char* end = nullptr;
        const long ms = std::strtol(value.c_str(), &end, 10);
        if (value.empty() || *end != '\0' || ms < 0 || ms > 60000) {
          std::fputs("nxdrive: --pause takes milliseconds, 0 to 60000\n", Diagnostics());
          code = kExitScript;
          return std::nullopt;
        }
        o.pauseMs = static_cast<int>(ms);
      }
    } else if (!scriptGiven && (arg == "-" || arg.rfind("--", 0) != 0)) {
      o.script = arg;
      scriptGiven = true;
    } else {
      std::fprintf(Diagnostics(), "nxdrive: unexpected argument \"%s\"\n", arg.c_str());
      Usage(Diagnostics());
      code = kExitScript;
      return std::nullopt;
    }
  }
  if (!o.screenshots.empty() && !o.window) {
    std::fputs("nxdrive: --screenshots needs --window (pictures are of the real window)\n", Diagnostics());
    code = kExitScript;
    return std::nullopt;
  }
  return o;
}

int Main(int argc, char** argv) {
  int code = 0;
  const std::optional<Options> options = ParseArguments(argc, argv, code);
  if (!options) return code;

  std::string text;
  if (options->script.empty() || options->script == "-") {
    text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
  } else {
    std::ifstream in(options->script, std::ios::binary);
    if (!in) {
      std::fprintf(Diagnostics(), "nxdrive: cannot read the script %s\n", options->script.c_str());
      return kExitScript;
    }
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::vector<Action> actions;
  try {
    actions = ParseScript(text);
  } catch (const ScriptError& e) {
    std::fprintf(Diagnostics(), "nxdrive: %s\n", e.what());
    return kExitScript;
  }

  try {
    CurrentPlatform();
  } catch (const OsError& e) {
    std::fprintf(Diagnostics(), "nxdrive: no machine to run on (NXSETUP_MACHINE): %s\n", e.what());
    return kExitCannotStart;
  }
  SendConsolesTo(CurrentHostedMachine().root() + "/console.log");
  std::unique_ptr<FaultScope> fault;
  try {
    fault = ArmFaultFromEnvironment();
  } catch (const std::invalid_argument& e) {
    std::fprintf(Diagnostics(), "nxdrive: %s\n", e.what());
    return kExitCannotStart;
  }

  // The toolkit gets no arguments of ours.
  int toolkitArgc = 1;
  char* toolkitArgv[] = {argv[0], nullptr};
  std::unique_ptr<QApplication> app;
  if (options->window) {
    app = std::make_unique<QApplication>(toolkitArgc, toolkitArgv);
    QApplication::setApplicationName("nxSetup");
    ApplyLook(*app);
  }

  DriverOperator operador;
  TFInstalacion form(operador);
  form.SetProgramFolder(options->program);
  std::unique_ptr<StageCamera> camera;
  form.OnLog = [&camera](const std::string& linea) {
    Print("log: " + linea);
    if (camera) camera->AfterLog();
  };
  NoView noView;
  std::unique_ptr<FInstallWindow> window;
  if (options->window) {
    window = std::make_unique<FInstallWindow>(form);
    window->OnHandlerError = [](const std::string& e) { Print(std::string("error: [") + kApplicationTitle + "] " + e); };
    if (!options->screenshots.empty()) {
      camera = std::make_unique<StageCamera>(*window, form, options->screenshots, Diagnostics());
      operador.OnMessage = [&camera](const std::string& text) { camera->OnMessage(text); };
    }
  } else {
    form.SetView(&noView);
  }

  try {
    form.FormCreate();
  } catch (const std::exception& e) {
    Print(std::string("error: [") + kApplicationTitle + "] " + e.what());
  }
  if (window) {
    window->ShowCentred();
    QCoreApplication::processEvents();
  }

  Driver driver(form, window.get(), options->pauseMs, camera.get());
  for (const Action& a : actions) {
    if (a.kind == Action::Kind::kAnswer || a.kind == Action::Kind::kFolder) operador.Queue(a);
    try {
      driver.Run(a);
    } catch (const NoAnswer&) {
    } catch (const std::exception& e) {
      Print(std::string("error: [") + kApplicationTitle + "] " + e.what());
    }
    if (operador.misfit() != 0) {
      std::fprintf(Diagnostics(), "nxdrive: line %d: Cancelar answers a question with no Cancelar button (line %d: %s)\n",
                   operador.misfit(), a.line, a.text.c_str());
      return kExitScript;
    }
    if (operador.unanswered()) {
      std::fprintf(Diagnostics(), "nxdrive: line %d (%s): no answer queued for the %s\n", a.line, a.text.c_str(),
                   operador.unanswered()->c_str());
      return kExitUnanswered;
    }
  }
  if (operador.leftOver() > 0)
    std::fprintf(Diagnostics(), "nxdrive: %zu queued answers were not used\n", operador.leftOver());
  Print(std::string("closed = ") + Bool(form.Closed()));
  operador.OnMessage = nullptr;
  camera.reset();
  window.reset();
  form.FormDestroy();
  return kExitRan;
}

}  // namespace

}  // namespace nx::drive

int main(int argc, char** argv) { return nx::drive::Main(argc, argv); }
