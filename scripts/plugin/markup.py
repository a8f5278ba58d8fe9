"""Pages made so that no text runs in them. Every text a page shows may come from the image or the
PC (window titles, box texts, file and registry names, config values, language texts, command
lines, trace lines): in HTML and SVG it goes in only through escape(), element() and leaf(), which
escape it and quote every attribute; in Markdown through md_text(), md_cell() and md_code_block(),
which keep it inert (escaped, or in a code span where escaping cannot). What these build is Markup,
which goes into a page as it is; anything else is text and is escaped on the way in."""
import html
import re

# Characters no page should carry: C0 controls but tab and line ends, DEL, and lone surrogates (which
# UTF-8 cannot write).
_UNFIT = re.compile('[\x00-\x08\x0b\x0c\x0e-\x1f\x7f\ud800-\udfff]')
# Addresses a page's links and pictures may hold: within the report's files, its anchors, web pages
# and inline pictures.
_SCHEME = re.compile(r'^\s*([a-zA-Z][a-zA-Z0-9+.\-]*):')
_SAFE_SCHEMES = ('http', 'https')
_URL_ATTRIBUTES = ('href', 'src')


class Markup(str):
    """Markup this module built (or a constant of a page's own): it goes into a page as it is.
    Markup + text escapes the text."""
    __slots__ = ()

    def __add__(self, other):
        return Markup(str.__add__(self, escape(other)))


def plain(value):
    """The text of value with characters that no page can hold replaced by U+FFFD."""
    return _UNFIT.sub('\ufffd', str(value))


def escape(value):
    """value as HTML or SVG text (Markup as it is)."""
    if isinstance(value, Markup):
        return value
    return Markup(html.escape(plain(value), quote=True))


def join(parts, separator=''):
    """The parts one after another, each text escaped."""
    return Markup(escape(separator).join(escape(part) for part in parts))


def _attribute_name(name):
    """class_ -> class, text_anchor -> text-anchor; names that would hold a script are refused."""
    name = name.rstrip('_').replace('_', '-')
    if name.lower().startswith('on') or not re.fullmatch(r'[A-Za-z][A-Za-z0-9\-]*', name):
        raise ValueError('no page attribute %r' % name)
    return name


def safe_address(value):
    """value when it is an address a page may link to (a file or anchor of the report, a web page,
    an inline picture); a ValueError otherwise (a javascript: or other address is never made)."""
    text = plain(value)
    scheme = _SCHEME.match(text)
    if scheme and scheme.group(1).lower() not in _SAFE_SCHEMES and not text.lower().startswith('data:image/'):
        raise ValueError('an address a page must not hold: %r' % text[:60])
    return text


def attributes(**values):
    """' name="value"' for each value that is not None, in the order given, escaped and quoted."""
    out = []
    for name, value in values.items():
        if value is None:
            continue
        name = _attribute_name(name)
        if name in _URL_ATTRIBUTES and not isinstance(value, Markup):
            value = safe_address(value)
        out.append(' %s="%s"' % (name, html.escape(plain(value), quote=True)))
    return Markup(''.join(out))


# HTML elements that have no end tag.
_VOID = {'img', 'meta', 'br', 'hr', 'link'}


def element(tag, *children, **values):
    """<tag attributes>children</tag> (an HTML void element without its end); each child that is
    not Markup is escaped."""
    start = '<%s%s>' % (tag, attributes(**values))
    if tag in _VOID:
        return Markup(start)
    return Markup(start + join(children) + '</%s>' % tag)


def leaf(tag, **values):
    """<tag attributes/>: an SVG element without content."""
    return Markup('<%s%s/>' % (tag, attributes(**values)))


# -- Markdown -------------------------------------------------------------------------------------
# ASCII punctuation a backslash escapes.
_PUNCTUATION = set('!"#$%&\'()*+,-./:;<=>?@[\\]^_`{|}~')
# Always escaped: what opens emphasis, code, links, images, raw HTML, strikethrough and table cells.
_ALWAYS = set('`*[]<~|')
# At the start of a line they would open a block (a quote, a list, a heading's underline).
_LINE_START = set('>-+=')


def one_line(value):
    """value on one line (line ends and tabs as blanks) with only characters a page can hold."""
    return re.sub(r'[\r\n\t]', ' ', plain(value))


def code_span(text, in_table=False):
    """text in a code span whose fence is longer than any run of backticks in it."""
    longest = max((len(run) for run in re.findall('`+', text)), default=0)
    fence = '`' * (longest + 1)
    if text.startswith(('`', ' ')) or text.endswith(('`', ' ')):
        text = ' ' + text + ' '  # the renderer takes off one blank at each end
    if in_table:
        text = text.replace('|', '\\|')  # a table's cells split at a pipe even in code
    return fence + text + fence


def _escaped(text, line_start):
    out = []
    for index, char in enumerate(text):
        before = text[index - 1] if index else ''
        after = text[index + 1] if index + 1 < len(text) else ''
        if char == '\\':
            escape_it = after == '' or after in _PUNCTUATION
        elif char == '_':
            escape_it = not (before.isalnum() and after.isalnum())
        elif char == '&':
            escape_it = after == '#' or after.isalnum()
        elif char == ':':
            escape_it = text.startswith('//', index + 1)  # a web address would become a link
        elif char == '#':
            escape_it = before in ('', ' ')  # a heading's mark, or its closing one
        elif char == '.':
            escape_it = text[max(index - 3, 0):index].lower() == 'www' and not text[max(index - 4, 0):index - 3].isalnum()
        else:
            escape_it = char in _ALWAYS
        out.append('\\' + char if escape_it else char)
    escaped = ''.join(out)
    number = re.match(r'\d+(?=[.)])', escaped)
    if not line_start:
        return escaped
    if escaped[:1] in _LINE_START:
        escaped = '\\' + escaped
    elif number:  # '1.' would open a numbered list
        escaped = number.group() + '\\' + escaped[number.end():]
    return escaped


def md_text(value, in_table=False):
    """value as inert Markdown on one line: its punctuation escaped where it would make markup, so
    that it shows as it is; in a code span where escaping cannot keep it inert (an address with an
    @ becomes a link whatever is escaped)."""
    text = one_line(value).strip(' ')
    if not text:
        return ''
    if '@' in text:
        return code_span(text, in_table)
    return _escaped(text, line_start=not in_table)


def md_cell(value):
    """value as the inert text of a Markdown table cell."""
    return md_text(value, in_table=True)


def md_table(header, rows):
    """A Markdown table: the header's names (the page's own) and rows of texts, every cell inert."""
    out = ['| ' + ' | '.join(header) + ' |', '|' + '---|' * len(header)]
    out += ['| ' + ' | '.join(md_cell(value) for value in row) + ' |' for row in rows]
    return out


def md_code_block(lines, info='text'):
    """Lines as a fenced code block whose fence is longer than any run of backticks in them, each line
    kept to one line, so that no line can end the block."""
    lines = [one_line(line) for line in lines]
    longest = max((len(run) for line in lines for run in re.findall('`+', line)), default=0)
    fence = '`' * max(3, longest + 1)
    return [fence + info] + lines + [fence]


def md_link(label, address):
    """A link of the page's own: label a text, address one of its files."""
    address = safe_address(address)
    if not re.fullmatch(r'[A-Za-z0-9._/#\-]+', address):
        address = '<%s>' % address.replace('<', '%3C').replace('>', '%3E').replace('\n', '%0A')
    return '[%s](%s)' % (md_text(label), address)


def md_picture(label, address):
    """A picture of the page's own: label a text, address one of its files."""
    return '!' + md_link(label, address)
