// The geo-fence layer reaching up into the window: what the check must refuse.
#include "uWindow.h"
