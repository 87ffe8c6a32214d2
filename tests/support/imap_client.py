#!/usr/bin/python3
"""A small IMAP client for tests, as alice/secret on 127.0.0.1:PORT.

  imap_client.py PORT append FOLDER      the message on standard input
  imap_client.py PORT folders            the folder names, as JSON
  imap_client.py PORT messages FOLDER    [subject, flags] pairs, read without setting \\Seen
  imap_client.py PORT seen FOLDER N      sets \\Seen on message N
"""
import imaplib, json, sys
port, command = int(sys.argv[1]), sys.argv[2]
imap = imaplib.IMAP4("127.0.0.1", port)
imap.login("alice", "secret")
if command == "append":
    imap.append(sys.argv[3], None, None, sys.stdin.buffer.read())
elif command == "folders":
    names = [line.decode().rsplit(' "." ', 1)[1].strip('"') for line in imap.list()[1]]
    print(json.dumps(sorted(names)))
elif command == "messages":
    imap.select(sys.argv[3], readonly=True)
    found = []
    ids = imap.search(None, "ALL")[1][0].split()
    for n in ids:
        data = imap.fetch(n, "(FLAGS BODY.PEEK[HEADER.FIELDS (SUBJECT)])")[1][0]
        flags = imaplib.ParseFlags(data[0])
        subject = data[1].decode().split(":", 1)[1].strip()
        found.append([subject, sorted(f.decode() for f in flags if f != b"\\Recent")])
    print(json.dumps(found))
elif command == "seen":
    imap.select(sys.argv[3])
    imap.store(sys.argv[4], "+FLAGS", "\\Seen")
imap.logout()
