-- Who a call acts for. The program reaches the database only through the door: each call is one
-- transaction on a connection of the page service's pool, which binds it to the account whose credential
-- the call carries (door_begin), or the log-on binds it (sp_trylogon checks the password). Pages prove the
-- account with the credential alone. Ids that callers send are checked against the proven account, never
-- believed.

-- The account a transaction proved is a setting of that transaction (qentara.account), gone when it
-- ends, so that nothing passes to the next call on the connection. Only the door's and the log-on's
-- functions set it: the program's calls reach the procedures alone, never SQL that could set it.

-- Credentials issued at log-on: only their SHA-256 is kept. A credential lapses twelve hours after it
-- was last used; an account keeps its twenty latest.
CREATE TABLE IF NOT EXISTS session_credentials (
    token_hash bytea PRIMARY KEY,
    acc_id     integer NOT NULL REFERENCES accounts ON DELETE CASCADE,
    expires    timestamptz NOT NULL
);
CREATE INDEX IF NOT EXISTS session_credentials_expires ON session_credentials (expires);
CREATE INDEX IF NOT EXISTS session_credentials_account ON session_credentials (acc_id, expires);

-- The account this transaction proved; 0 for none.
CREATE OR REPLACE FUNCTION zp_bound_account() RETURNS integer
LANGUAGE plpgsql STABLE AS $$
BEGIN
    RETURN coalesce(nullif(current_setting('qentara.account', true), '')::integer, 0);
END $$;

-- Binds this transaction to acc (0: to none).
CREATE OR REPLACE FUNCTION zp_bind_account(acc integer) RETURNS void
LANGUAGE plpgsql SET search_path = public, pg_temp AS $$
BEGIN
    PERFORM set_config('qentara.account', coalesce(acc, 0)::text, true);
END $$;

-- The proven account, for a procedure that acts for one; refused in a call that proved none.
CREATE OR REPLACE FUNCTION zp_proven_account() RETURNS integer
LANGUAGE plpgsql STABLE SET search_path = public, pg_temp AS $$
DECLARE
    acc integer := zp_bound_account();
BEGIN
    IF acc = 0 THEN
        RAISE EXCEPTION '尚未登录服务器，不能代表任何帐号操作。请先登录。' USING ERRCODE = '42501';
    END IF;
    RETURN acc;
END $$;

-- The account a procedure acts for when the caller names it: the proven one, and only when named.
CREATE OR REPLACE FUNCTION zp_acting_account(sent integer) RETURNS integer
LANGUAGE plpgsql STABLE SET search_path = public, pg_temp AS $$
DECLARE
    acc integer := zp_proven_account();
BEGIN
    IF sent IS DISTINCT FROM acc THEN
        RAISE EXCEPTION '帐号 % 不是本次登录的帐号，操作被拒绝。', coalesce(sent::text, '（空）')
            USING ERRCODE = '42501';
    END IF;
    RETURN acc;
END $$;

-- The account a reading sees through: 0 (what is open to the world) when the caller names none,
-- otherwise as zp_acting_account.
CREATE OR REPLACE FUNCTION zp_reading_account(sent integer) RETURNS integer
LANGUAGE plpgsql STABLE SET search_path = public, pg_temp AS $$
BEGIN
    RETURN CASE WHEN coalesce(sent, 0) = 0 THEN 0 ELSE zp_acting_account(sent) END;
END $$;

-- The account a credential stands for, 0 when it is unknown or has lapsed. A use renews it (at most
-- once an hour, so that reading pages does not mean writing each time).
CREATE OR REPLACE FUNCTION zp_credential_account(token text) RETURNS integer
LANGUAGE plpgsql VOLATILE SET search_path = public, pg_temp AS $$
DECLARE
    hash bytea := digest(coalesce(token, ''), 'sha256');
    found_acc integer;
    found_expires timestamptz;
BEGIN
    -- PL/pgSQL, whose plans are kept: every call of the program passes here.
    SELECT acc_id, expires INTO found_acc, found_expires FROM session_credentials
     WHERE token_hash = hash AND expires > now();
    IF found_acc IS NULL THEN
        RETURN 0;
    END IF;
    IF found_expires < now() + interval '11 hours' THEN
        UPDATE session_credentials SET expires = now() + interval '12 hours' WHERE token_hash = hash;
    END IF;
    RETURN found_acc;
END $$;

-- A new credential for acc, whose password was just proven: 48 hex digits, only their SHA-256 kept.
CREATE OR REPLACE FUNCTION zp_new_credential(acc integer) RETURNS text
LANGUAGE plpgsql SET search_path = public, pg_temp AS $$
DECLARE
    token text := encode(gen_random_bytes(24), 'hex');
BEGIN
    DELETE FROM session_credentials WHERE expires < now();
    DELETE FROM session_credentials WHERE token_hash IN (
        SELECT token_hash FROM session_credentials WHERE acc_id = acc ORDER BY expires DESC OFFSET 19);
    INSERT INTO session_credentials (token_hash, acc_id, expires)
    VALUES (digest(token, 'sha256'), acc, now() + interval '12 hours');
    RETURN token;
END $$;

-- A new credential for the account this transaction proved, for the pages that act for it and for the
-- program's later calls: 48 hex digits. NULL when it proved none.
CREATE OR REPLACE FUNCTION zp_session_token() RETURNS text
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp AS $$
DECLARE
    acc integer := zp_bound_account();
BEGIN
    IF acc = 0 THEN
        RETURN NULL;
    END IF;
    RETURN zp_new_credential(acc);
END $$;

DROP FUNCTION IF EXISTS zp_bind_session(text);

-- The page service's check of a request's credential: the account, 0 for none.
CREATE OR REPLACE FUNCTION page_credential_account(token text) RETURNS integer
LANGUAGE sql VOLATILE SET search_path = public, pg_temp AS $$
    SELECT CASE WHEN coalesce(token, '') = '' THEN 0 ELSE zp_credential_account(token) END
$$;

-- The door issues a log-on's credential with it; the program's own calls cannot.
GRANT EXECUTE ON ROUTINE zp_session_token() TO qntzp_pages;
