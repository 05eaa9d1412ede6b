// Threads and mutexes.
#ifndef EXT_SYSTHREAD_H
#define EXT_SYSTHREAD_H

#include "ext_mess.h"

BEGIN_USING_C_LINKAGE

typedef void *t_systhread;
typedef void *t_systhread_mutex;

enum { SYSTHREAD_MUTEX_NORMAL = 0 };

long systhread_create(method entryproc, void *arg, long stacksize, long priority, long flags, t_systhread *thread);
long systhread_join(t_systhread thread, unsigned int *retval);
long systhread_detach(t_systhread thread);
void systhread_exit(long status);
void systhread_sleep(long milliseconds);
void systhread_setpriority(t_systhread thread, int priority);
short systhread_ismainthread(void);

long systhread_mutex_new(t_systhread_mutex *pmutex, long flags);
long systhread_mutex_lock(t_systhread_mutex pmutex);
long systhread_mutex_unlock(t_systhread_mutex pmutex);
long systhread_mutex_free(t_systhread_mutex pmutex);

END_USING_C_LINKAGE

#endif
