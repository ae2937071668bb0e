// Key path walker: opens a registry path one component at a time and keeps every parent open on
// one program-wide stack, so that a caller can delete the final key from its direct parent and
// then close the whole chain, deepest first.
//
// NOTES
// - A component that fails to open for any reason (missing, access denied, ...) ends the walk
//   as a missing one does: the callers only know "opened" and "not opened".
// - A path that does not fit the private copy (more than 259 characters), or that is deeper than
//   the stack can hold, is refused the same way. Cutting it could open another key, and a parent
//   dropped from the stack would make the caller delete the key's name from its grandparent.
#include "common/bounded_text.h"
#include "platform/win32api.h"
#include "setup_helper/helper.h"

PARENT_KEY_STACK ParentKeyStack;

void PushParentKey(HKEY key) {
    if (ParentKeyStack.count < 0 || ParentKeyStack.count >= PARENT_KEY_STACK_SIZE)
        return;
    ParentKeyStack.entries[ParentKeyStack.count] = key;
    ParentKeyStack.count++;
}

HKEY PopParentKey(void) {
    if (ParentKeyStack.count <= 0)
        return HKEY_LOCAL_MACHINE;
    ParentKeyStack.count--;
    return ParentKeyStack.entries[ParentKeyStack.count];
}

// Closes the current key, then pops and closes parents until the stack is empty or a close
// fails. The failed close is the result; the handles below it stay on the stack.
static LONG UnwindKeyPath(HKEY* currentKey) {
    LONG result = RegCloseKey(*currentKey);
    while (ParentKeyStack.count > 0 && result == ERROR_SUCCESS) {
        *currentKey = PopParentKey();
        result = RegCloseKey(*currentKey);
    }
    return result;
}

// Copies the next non-empty run between backslashes of text, from *position on, into component
// and moves *position past it. FALSE when no component is left.
static BOOL NextComponent(LPCSTR text, DWORD* position, LPSTR component, DWORD componentSize) {
    DWORD start = *position;
    DWORD end;
    while (text[start] == '\\')
        start++;
    if (text[start] == '\0') {
        *position = start;
        return FALSE;
    }
    end = start;
    while (text[end] != '\0' && text[end] != '\\')
        end++;
    *position = end;
    return TextCopyCount(component, componentSize, text + start, end - start);
}

LONG OpenKeyPath(LPCSTR path, HKEY* currentKey, LPSTR lastComponent) {
    CHAR pathCopy[HELPER_TEXT_SIZE];
    CHAR component[HELPER_TEXT_SIZE];
    CHAR opened[HELPER_TEXT_SIZE];
    DWORD position = 0;
    BOOL complete = TRUE;
    LONG result = ERROR_SUCCESS;

    if (currentKey == NULL)
        return ERROR_INVALID_PARAMETER;
    opened[0] = '\0';

    if (path == NULL) {
        pathCopy[0] = '\0';
    } else if (!TextCopy(pathCopy, sizeof(pathCopy), path)) {
        complete = FALSE;
    }

    if (complete && NextComponent(pathCopy, &position, component, sizeof(component))) {
        do {
            HKEY child = NULL;
            if (ParentKeyStack.count >= PARENT_KEY_STACK_SIZE ||
                RegOpenKeyExA(*currentKey, component, 0, KEY_ALL_ACCESS, &child) != ERROR_SUCCESS) {
                complete = FALSE;
                break;
            }
            PushParentKey(*currentKey);
            *currentKey = child;
            TextCopy(opened, sizeof(opened), component);
        } while (NextComponent(pathCopy, &position, component, sizeof(component)));
    }

    if (!complete)
        result = UnwindKeyPath(currentKey);

    // Empty when nothing was opened: an empty path, or a first component that did not open.
    if (lastComponent != NULL)
        TextCopy(lastComponent, HELPER_TEXT_SIZE, opened);
    return result;
}

LONG CloseKeyPath(HKEY* currentKey) {
    if (currentKey == NULL)
        return ERROR_INVALID_PARAMETER;
    return UnwindKeyPath(currentKey);
}
