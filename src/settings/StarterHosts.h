#pragma once

// First start: when the Hosts key does not exist yet, creates it and fills it with a starter set of
// public anonymous FTP hosts in three folders. Once the key exists (even empty) it does nothing.
void CreateDefaultHosts();
