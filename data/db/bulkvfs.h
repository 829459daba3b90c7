#pragma once

// A file layer for connections that write or read a whole file at once (a
// copy being written, a copy being checked): the pages go to and come from
// the disk 64 KiB at a time instead of one system call per page, which
// on a virtual machine costs more than the page's encryption. Everything
// else is the system's own layer. The name to open with; registered on
// first use.
namespace BulkVfs {

const char *name();

}
