// Session: engine start-up, one statement's round trip, error reports.
#include "shell/Session.h"

#include <chrono>
#include <cstdio>
#include <cerrno>
#include <cstring>
#include <new>
#include <vector>

#include "obsqleng.h"
#include "qxhost.h"
#include "shell/CtrlC.h"
#include "shell/Language.h"
#include "shell/ProfileOverride.h"
#include "shell/RowFormatter.h"
#include "shell/RowValues.h"
#include "shell/TextUtil.h"

namespace qxsql {
namespace {

// ExecInfo is written without a bound: 8 bytes of counts, then the column
// description text, about 60 bytes per column at most.  Four megabytes
// cover every column count the engine's 16-bit counts allow.
constexpr std::size_t kExecInfoBytes = 8 + (std::size_t{4} << 20);

constexpr std::int32_t kOutOfMemoryNumber = 4242;  // the engine's message "Out of memory"

// True when the statement's first word is INSERT, UPDATE or DELETE.
bool ChangesRecords(const std::string& statement) {
    std::string_view text = Trim(statement);
    std::size_t end = 0;
    while (end < text.size() && !IsBlank(text[end]) && text[end] != '(') ++end;
    std::string_view word = text.substr(0, end);
    return EqualsIgnoreCase(word, "INSERT") || EqualsIgnoreCase(word, "UPDATE") || EqualsIgnoreCase(word, "DELETE");
}

}  // namespace

Session::Session(ShellSettings& settings, std::ostream& out, std::ostream& err)
    : settings_(settings), console_(out), out_(&out), err_(err), execInfo_(new std::uint64_t[kExecInfoBytes / 8 + 1]) {
    std::memset(execInfo_.get(), 0, 16);
}

Session::~Session() {
    RestoreOutput();
    Stop();
}

void Session::OnEngineMessage(const char* title, const char* text, void* context) {
    auto* session = static_cast<Session*>(context);
    try {
        session->engineMessages_.push_back(std::string(title) + ": " + text);
    } catch (const std::bad_alloc&) {
    }
}

void Session::ShowEngineMessages(std::string_view errorText) {
    for (const std::string& message : engineMessages_) {
        // The box that announced the statement's own error says nothing more.
        std::size_t colon = message.find(": ");
        if (!errorText.empty() && colon != std::string::npos && std::string_view(message).substr(colon + 2) == errorText)
            continue;
        out_->flush();
        err_ << message << '\n';
    }
    err_.flush();
    engineMessages_.clear();
}

bool Session::Start(const ShellOptions& options) {
    ProfileOverride profile;
    std::string error;
    std::string language = options.language.empty() ? ProfileOverride::DefaultLanguage() : options.language;
    bool overridden = !language.empty() || !options.memoryLimit.empty();
    if (overridden && !profile.Apply(language, options.memoryLimit, error)) {
        ReportShellError(error);
        return false;
    }
    // The engine's message boxes come here, so that they reach the error
    // stream in turn with the shell's own lines.
    QXSQLSetMessageSink(&Session::OnEngineMessage, this);
    int started = OB4InitInstance(0, nullptr);
    ShowEngineMessages({});
    if (started == 0) {
        ReportShellError(Say("the SQL engine could not start: the QX file engine's callbacks were not found",
                             "le moteur SQL n'a pas pu démarrer : les fonctions du moteur de fichiers QX sont introuvables"));
        return false;
    }
    engineStarted_ = true;
    profile.Restore();

    char message[512] = "";
    hostContext_ = QXHostOpen(options.databaseDir.c_str(), options.create ? 1 : 0, message, sizeof message);
    if (hostContext_ == 0) {
        ReportShellError(message[0] != '\0' ? std::string(message)
                                             : Say("cannot open the database %1", "impossible d'ouvrir la base %1",
                                                   {options.databaseDir}));
        return false;
    }
    databaseDir_ = options.databaseDir;
    QXSQLSetStrict(hostContext_, options.compat ? 0 : 1);
    return true;
}

void Session::Stop() {
    if (hostContext_ != 0) {
        QXHostClose(hostContext_);
        hostContext_ = 0;
    }
    if (engineStarted_) {
        OBSQLFinInstance(0);
        engineStarted_ = false;
    }
    ShowEngineMessages({});
    QXSQLSetMessageSink(nullptr, nullptr);
}

void Session::NoteFailure() {
    failed_ = true;
    if (settings_.bail) stop_ = true;
}

void Session::ReportShellError(const std::string& text) {
    out_->flush();
    err_ << Say("Error: %1", "Erreur : %1", {text}) << '\n';
    err_.flush();
    NoteFailure();
}

void Session::ReportEngineError(std::uintptr_t handle) {
    char text[256] = "";
    char state[8] = "";
    if (handle == 0 || QXSQLErreur(handle, text, state) != 0) {  // no request: no memory for one
        ReportOutOfMemory();
        return;
    }
    // The boxes that announced a shortage of memory only repeat the error.
    if (QXSQLErrorNumber(handle) == kOutOfMemoryNumber) engineMessages_.clear();
    ShowEngineMessages(text);
    out_->flush();
    err_ << Say("Error %1: %2", "Erreur %1 : %2", {state, text}) << '\n';
    err_.flush();
    NoteFailure();
}

// Memo references are numbered in order; each needs a bound parameter, or
// the engine would read an address that is not there.
bool Session::CheckMemoReferences(const std::string& statement) {
    if (statement.find('{') == std::string::npos) return true;
    void* context = QXSQL_OBMS_Alloc();
    if (context == nullptr) return true;
    int32_t count = QXSQL_OBMS_Scan(context, statement.c_str());
    int missing = 0;
    for (int n = 1; n <= count && missing == 0; ++n)
        if (!memos_.IsBound(n)) missing = n;
    char name[256] = "";
    int32_t kind = 0;
    if (missing != 0) QXSQL_OBMS_GetMemoInfo(context, missing - 1, name, sizeof name, &kind);
    QXSQL_OBMS_Free(context);
    if (missing == 0) return true;
    ReportShellError(Say("memo reference %1 ('%2') has no value: bind one with .memo %1 FILE",
                         "la référence de mémo %1 (« %2 ») n'a pas de valeur : donnez-en une par .memo %1 FICHIER",
                         {std::to_string(missing), name}));
    return false;
}

std::vector<ResultColumn> Session::Columns() const {
    const auto* info = reinterpret_cast<const ExecInfo*>(execInfo_.get());
    return ResultColumn::ParseDescription(reinterpret_cast<const char*>(info) + offsetof(ExecInfo, columnText),
                                          info->columnCount);
}

void Session::ReadRows(std::uintptr_t handle, const std::vector<ResultColumn>& columns, const RowCallback& row) {
    RowValues values(columns, [handle](std::uint16_t column, QXSQLValue* value) {
        return QXSQLColumnValue(handle, column, value);
    });
    while (!ctrlc::Pressed() && QXSQLFetchNext(handle) == 0) {
        const std::vector<std::string_view>& read = values.Read();
        char text[256] = "";
        char state[8] = "";
        if (values.Refused() && QXSQLErreur(handle, text, state) == 0 && text[0] != '\0') {
            ReportEngineError(handle);  // a value the file engine could not deliver
            break;
        }
        row(read);
    }
}

void Session::PrintRows(std::uintptr_t handle) {
    std::vector<ResultColumn> columns = Columns();
    std::unique_ptr<RowFormatter> formatter = RowFormatter::Create(settings_.mode, settings_.HeadersShown(), *out_);
    formatter->Begin(columns);
    ReadRows(handle, columns, [&formatter](const std::vector<std::string_view>& values) { formatter->Row(values); });
    formatter->End();
}

bool Session::Execute(const std::string& statement, std::uintptr_t& handle) {
    auto* info = reinterpret_cast<ExecInfo*>(execInfo_.get());
    info->compiled = 0;
    info->columnCount = 0;
    info->rowCount = 0;
    info->columnText[0] = '\0';
    handle = 0;
    if (QXSQLExecReq(&handle, statement.c_str(), info, hostContext_, memos_.TableAddress()) == 0) return true;
    ReportEngineError(handle);
    return false;
}

bool Session::Query(const std::string& statement, const RowCallback& row) {
    std::uintptr_t handle = 0;
    bool ok = Execute(statement, handle);
    try {
        if (ok) ReadRows(handle, Columns(), row);
    } catch (const std::bad_alloc&) {
        ReportOutOfMemory();
        ok = false;
    }
    if (handle != 0) QXSQLFinRequete(handle);
    return ok;
}

void Session::ReportOutOfMemory() {
    engineMessages_.clear();  // the engine's boxes of the same shortage say no more
    out_->flush();
    err_ << Say("Error 00123: Out of memory", "Erreur 00123 : Mémoire insuffisante") << '\n';
    err_.flush();
    NoteFailure();
}

bool Session::RedirectOutput(const std::string& path, bool once) {
    RestoreOutput();
    auto file = std::make_unique<std::ofstream>(path, std::ios::binary | std::ios::trunc);
    if (!*file) {
        ReportShellError(Say("cannot write to '%1': %2", "impossible d'écrire dans « %1 » : %2", {path, std::strerror(errno)}));
        return false;
    }
    file_ = std::move(file);
    out_ = file_.get();
    once_ = once ? Once::Armed : Once::Off;
    return true;
}

void Session::RestoreOutput() {
    if (file_ != nullptr) {
        file_->flush();
        if (!*file_)
            ReportShellError(Say("could not write all the output to its file",
                                 "la sortie n'a pas pu être écrite en entier dans son fichier"));
        file_.reset();
    }
    out_ = &console_;
    once_ = Once::Off;
}

void Session::BeginUnit() {
    if (once_ == Once::Armed) once_ = Once::Active;
}

void Session::EndUnit() {
    if (once_ == Once::Active) RestoreOutput();
}

bool Session::RunStatement(const std::string& statement) {
    if (settings_.echo) *out_ << statement << '\n';
    if (!CheckMemoReferences(statement)) return false;

    auto started = std::chrono::steady_clock::now();
    std::uint32_t changesBefore = QXHostChangeCount(hostContext_);
    std::uintptr_t handle = 0;
    bool ok = Execute(statement, handle);
    auto* info = reinterpret_cast<ExecInfo*>(execInfo_.get());
    if (ok && info->columnCount > 0) {
        try {
            PrintRows(handle);
        } catch (const std::bad_alloc&) {  // the rows a table waits for, a long value...
            ReportOutOfMemory();
            ok = false;
        }
        if (ok && ctrlc::Pressed()) {
            ReportShellError(Say("interrupted: the rest of the rows were not shown",
                                 "interrompu : les autres lignes ne sont pas affichées"));
            ok = false;
        }
    } else if (ok && (settings_.mode == OutputMode::Table || settings_.mode == OutputMode::Box) &&
               ChangesRecords(statement)) {
        // The engine counts nothing; the file engine counts every record it adds, rewrites or deletes.
        std::uint32_t changed = QXHostChangeCount(hostContext_) - changesBefore;
        *out_ << Say(changed == 1 ? "%1 row changed" : "%1 rows changed",
                     changed <= 1 ? "%1 ligne modifiée" : "%1 lignes modifiées", {std::to_string(changed)})
              << '\n';
    }
    if (handle != 0) QXSQLFinRequete(handle);
    ShowEngineMessages({});

    if (settings_.timer) {
        std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - started;
        char text[64];
        std::snprintf(text, sizeof text, "%.3f", elapsed.count());
        out_->flush();
        err_ << Say("Run Time: %1 s", "Durée : %1 s", {text}) << '\n';
        err_.flush();
    }
    return ok;
}

}  // namespace qxsql
