#pragma once
// Serialises kavlorctl processes that change the accounts. Each change reads a whole file,
// edits it and writes it back; two such changes at once would each write back what they
// read, and one of them would be lost. Holding this lock from the read to the last write
// makes them take turns. It is an exclusive flock on the preferences folder itself, so no
// file of its own is left beside the library's files; readers (the library, `user list`)
// never need it, because every write replaces a file whole.

#include <string>

class AccountFilesLock {
public:
    // Blocks until the lock is held. Throws KavlorctlError naming the folder when it
    // cannot be opened or locked.
    AccountFilesLock();
    ~AccountFilesLock();
    AccountFilesLock(const AccountFilesLock&) = delete;
    AccountFilesLock& operator=(const AccountFilesLock&) = delete;

private:
    int m_fd = -1;
};
