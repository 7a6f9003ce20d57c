#include "KxScript.h"

#include <QElapsedTimer>
#include <QJSEngine>
#include <QRegularExpression>

#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>

#include <lua.hpp>

namespace {

// --- Lua ------------------------------------------------------------------------------------

struct LuaRun
{
    QByteArray data;
    QString codeId;
    KxScriptOutcome *out = nullptr;
    bool hasOutput = false;
    bool skipped = false;
    QElapsedTimer timer;
    int timeMs = 0;
    qint64 used = 0;
    qint64 limit = 0;
};

// Every allocation of the state goes through here, so a script cannot take more than its share.
void *luaAlloc(void *ud, void *ptr, size_t osize, size_t nsize)
{
    auto *run = static_cast<LuaRun *>(ud);
    const qint64 old = ptr ? qint64(osize) : 0;
    if (nsize == 0) {
        run->used -= old;
        std::free(ptr);
        return nullptr;
    }
    if (run->limit > 0 && run->used - old + qint64(nsize) > run->limit)
        return nullptr;
    void *p = std::realloc(ptr, nsize);
    if (p)
        run->used += qint64(nsize) - old;
    return p;
}

LuaRun *runOf(lua_State *L)
{
    return static_cast<LuaRun *>(lua_touserdata(L, lua_upvalueindex(1)));
}

void timeHook(lua_State *L, lua_Debug *)
{
    lua_getfield(L, LUA_REGISTRYINDEX, "brevan.run");
    auto *run = static_cast<LuaRun *>(lua_touserdata(L, -1));
    lua_pop(L, 1);
    if (run && run->timer.elapsed() > run->timeMs)
        luaL_error(L, "time limit of %d ms exceeded", run->timeMs);
}

int luaGetData(lua_State *L)
{
    const LuaRun *r = runOf(L);
    lua_pushlstring(L, r->data.constData(), size_t(r->data.size()));
    return 1;
}
int luaGetSymbology(lua_State *L)
{
    lua_pushstring(L, runOf(L)->codeId.toLatin1().constData());
    return 1;
}
int luaGetLength(lua_State *L)
{
    lua_pushinteger(L, runOf(L)->data.size());
    return 1;
}
int luaSetOutput(lua_State *L)
{
    size_t n = 0;
    const char *s = luaL_checklstring(L, 1, &n);
    LuaRun *r = runOf(L);
    r->out->output = QByteArray(s, int(n));
    r->hasOutput = true;
    return 0;
}
int luaSkip(lua_State *L)
{
    runOf(L)->skipped = true;
    return 0;
}
int luaLog(lua_State *L)
{
    runOf(L)->out->log << QString::fromUtf8(luaL_tolstring(L, 1, nullptr));
    return 0;
}

// "script:3: message" -> line 3.
int lineOf(const QString &message)
{
    static const QRegularExpression at(QStringLiteral("^script:(\\d+):"));
    const QRegularExpressionMatch m = at.match(message);
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}

KxScriptOutcome runLua(const QString &script, const QByteArray &data, const QString &codeId,
                       const KxScriptLimits &limits, bool execute)
{
    KxScriptOutcome out;
    LuaRun run;
    run.data = data;
    run.codeId = codeId;
    run.out = &out;
    run.timeMs = limits.timeMs;
    run.limit = limits.memoryBytes;
    lua_State *L = lua_newstate(luaAlloc, &run);
    if (!L) {
        out.kind = KxScriptOutcome::Error;
        out.error = QStringLiteral("not enough memory for the script");
        return out;
    }
    // Only libraries without file or system access; the loaders of code are taken out as well.
    const luaL_Reg libs[] = {{LUA_GNAME, luaopen_base}, {LUA_TABLIBNAME, luaopen_table},
                             {LUA_STRLIBNAME, luaopen_string}, {LUA_MATHLIBNAME, luaopen_math},
                             {LUA_UTF8LIBNAME, luaopen_utf8}};
    for (const luaL_Reg &lib : libs) {
        luaL_requiref(L, lib.name, lib.func, 1);
        lua_pop(L, 1);
    }
    for (const char *unsafe : {"dofile", "loadfile", "load", "require", "collectgarbage"}) {
        lua_pushnil(L);
        lua_setglobal(L, unsafe);
    }
    lua_pushlightuserdata(L, &run);
    lua_setfield(L, LUA_REGISTRYINDEX, "brevan.run");
    const luaL_Reg api[] = {{"getData", luaGetData}, {"getSymbology", luaGetSymbology}, {"getLength", luaGetLength},
                            {"setOutput", luaSetOutput}, {"skip", luaSkip}, {"log", luaLog}, {"print", luaLog}};
    for (const luaL_Reg &f : api) {
        lua_pushlightuserdata(L, &run);
        lua_pushcclosure(L, f.func, 1);
        lua_setglobal(L, f.name);
    }
    const QByteArray source = script.toUtf8();
    int status = luaL_loadbufferx(L, source.constData(), size_t(source.size()), "=script", "t");
    if (status == LUA_OK && execute) {
        run.timer.start();
        lua_sethook(L, timeHook, LUA_MASKCOUNT, 1000);
        status = lua_pcall(L, 0, 0, 0);
    }
    if (status != LUA_OK) {
        out.kind = KxScriptOutcome::Error;
        out.error = status == LUA_ERRMEM ? QStringLiteral("memory limit exceeded")
                                         : QString::fromUtf8(lua_tostring(L, -1));
        out.line = lineOf(out.error);
        out.output.clear();
    } else if (run.skipped) {
        out.kind = KxScriptOutcome::Skipped;
    } else if (run.hasOutput) {
        out.kind = KxScriptOutcome::Output;
    }
    lua_close(L);
    return out;
}

// --- JavaScript -----------------------------------------------------------------------------

}  // namespace

class KxJsApi : public QObject
{
    Q_OBJECT
public:
    KxJsApi(const QByteArray &data, const QString &codeId, KxScriptOutcome *out, QObject *parent)
        : QObject(parent), m_data(data), m_codeId(codeId), m_out(out)
    {
    }
    Q_INVOKABLE QString getData() const { return QString::fromUtf8(m_data); }
    Q_INVOKABLE QString getSymbology() const { return m_codeId; }
    Q_INVOKABLE int getLength() const { return m_data.size(); }
    Q_INVOKABLE void setOutput(const QString &text)
    {
        m_out->output = text.toUtf8();
        hasOutput = true;
    }
    Q_INVOKABLE void skip() { skipped = true; }
    Q_INVOKABLE void log(const QString &text) { m_out->log << text; }
    bool hasOutput = false;
    bool skipped = false;

private:
    QByteArray m_data;
    QString m_codeId;
    KxScriptOutcome *m_out;
};

namespace {

// Stops the engine when a run takes longer than its limit.
class Watchdog
{
public:
    Watchdog(QJSEngine *engine, int ms)
        : m_thread([this, engine, ms]() {
              std::unique_lock<std::mutex> lock(m_mutex);
              if (!m_cv.wait_for(lock, std::chrono::milliseconds(ms), [this]() { return m_done; })) {
                  m_fired = true;
                  engine->setInterrupted(true);
              }
          })
    {
    }
    ~Watchdog() { stop(); }
    void stop()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_done = true;
        }
        m_cv.notify_all();
        if (m_thread.joinable())
            m_thread.join();
    }
    bool fired() const { return m_fired; }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_done = false;
    bool m_fired = false;
    std::thread m_thread;
};

KxScriptOutcome runJs(const QString &script, const QByteArray &data, const QString &codeId,
                      const KxScriptLimits &limits, bool execute)
{
    KxScriptOutcome out;
    QJSEngine engine;
    KxJsApi api(data, codeId, &out, &engine);
    const QJSValue apiValue = engine.newQObject(&api);
    for (const QString &name : KxScriptRunner::apiFunctions())
        engine.globalObject().setProperty(name, apiValue.property(name));
    // The script becomes the body of a function, so its first line is line 1 and it may return.
    QJSValue fn = engine.evaluate(QStringLiteral("(function() {\n") + script + QStringLiteral("\n})"),
                                        QStringLiteral("script"), 0);
    QJSValue result = fn;
    bool timedOut = false;
    if (!fn.isError() && execute) {
        Watchdog dog(&engine, limits.timeMs);
        result = fn.call();
        dog.stop();
        timedOut = dog.fired();
    }
    if (timedOut) {
        out.kind = KxScriptOutcome::Error;
        out.error = QStringLiteral("time limit of %1 ms exceeded").arg(limits.timeMs);
    } else if (result.isError()) {
        out.kind = KxScriptOutcome::Error;
        out.line = result.property(QStringLiteral("lineNumber")).toInt();
        out.error = QStringLiteral("script:%1: %2").arg(out.line).arg(result.toString());
    } else if (api.skipped) {
        out.kind = KxScriptOutcome::Skipped;
    } else if (api.hasOutput) {
        out.kind = KxScriptOutcome::Output;
    }
    if (out.kind == KxScriptOutcome::Error)
        out.output.clear();
    return out;
}

}  // namespace

namespace KxScriptRunner {

QStringList apiFunctions()
{
    return {QStringLiteral("getData"), QStringLiteral("getSymbology"), QStringLiteral("getLength"),
            QStringLiteral("setOutput"), QStringLiteral("skip"), QStringLiteral("log")};
}

KxScriptOutcome check(Language language, const QString &script)
{
    return language == Lua ? runLua(script, QByteArray(), QString(), KxScriptLimits(), false)
                           : runJs(script, QByteArray(), QString(), KxScriptLimits(), false);
}

KxScriptOutcome run(Language language, const QString &script, const QByteArray &data, const QString &codeId,
                    const KxScriptLimits &limits)
{
    return language == Lua ? runLua(script, data, codeId, limits, true) : runJs(script, data, codeId, limits, true);
}

}  // namespace KxScriptRunner

#include "KxScriptRunner.moc"
