"""Pieces the page-building benchmark scripts share."""


def joined(part, size):
    """part(0), part(1), ... joined until they reach size characters."""
    parts, total, i = [], 0, 0
    while total < size:
        parts.append(part(i))
        total += len(parts[-1])
        i += 1
    return ''.join(parts)
