#pragma once
// A transaction on one connection. Destroying one that was started and
// neither committed nor rolled back rolls it back, so an exception between
// StartTransaction and Commit never leaves half a change behind.
class TOvSQLConnection;

class TOvTransaction
{
public:
    // Null: the framework's global connection (OvGlobConn).
    explicit TOvTransaction(TOvSQLConnection *connection = nullptr);
    ~TOvTransaction();
    TOvTransaction(const TOvTransaction &) = delete;
    TOvTransaction &operator=(const TOvTransaction &) = delete;

    // EAssertionFailed when the connection already is in a transaction (the
    // caller should have used that one), EDatabaseError when the database refuses.
    void StartTransaction();
    // EAssertionFailed when not started; on a refused commit everything is
    // rolled back and EDatabaseError raised.
    void Commit();
    // Does nothing when not started, so it is safe in every error path.
    void Rollback();
    bool active() const { return m_active; }

private:
    TOvSQLConnection *m_connection;
    bool m_active = false;
};
