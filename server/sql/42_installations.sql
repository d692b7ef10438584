-- What an installation of the program proves without an account: its board number and its installation
-- number are learnable, so each is tied to the secret the installation made, the first one the server
-- sees with it. Only the secret's digest is kept. And what one address may write in a while, so that
-- nothing without an account grows without bound.

CREATE TABLE IF NOT EXISTS installation_proofs (
    kind          text NOT NULL,                -- 'board' (ano) or 'ebook' (soft_no)
    number        text NOT NULL,
    secret_digest bytea NOT NULL,               -- SHA-256 of the secret
    bound         timestamptz NOT NULL DEFAULT now(),
    PRIMARY KEY (kind, number)
);

-- Whether the secret proves the number: 'proven'; 'free' when nobody has tied the number yet and bind is
-- false; 'refused' for another secret, or none. With bind, a free number is tied to this secret: only a
-- write that is let through binds, so that refused requests leave nothing behind.
CREATE OR REPLACE FUNCTION zp_installation_proof(p_kind text, p_number text, p_secret text, bind boolean)
RETURNS text
LANGUAGE plpgsql SET search_path = public, pg_temp AS $$
DECLARE
    wanted bytea;
    stored bytea;
BEGIN
    IF coalesce(p_number, '') = '' THEN RETURN 'refused'; END IF;
    SELECT secret_digest INTO stored FROM installation_proofs WHERE kind = p_kind AND number = p_number;
    IF stored IS NULL AND NOT bind THEN RETURN 'free'; END IF;
    -- A secret is random hex the program made; anything shorter proves nothing.
    IF coalesce(length(p_secret), 0) < 32 OR length(p_secret) > 128 THEN RETURN 'refused'; END IF;
    wanted := sha256(convert_to(p_secret, 'UTF8'));
    IF stored IS NULL THEN
        INSERT INTO installation_proofs (kind, number, secret_digest) VALUES (p_kind, p_number, wanted)
        ON CONFLICT (kind, number) DO NOTHING;
        -- Two first uses at once: the one that got in decides.
        SELECT secret_digest INTO stored FROM installation_proofs WHERE kind = p_kind AND number = p_number;
    END IF;
    RETURN CASE WHEN stored = wanted THEN 'proven' ELSE 'refused' END;
END $$;

-- For the pages that read: a free number has nothing to read yet.
CREATE OR REPLACE FUNCTION page_installation_proof(p_kind text, p_number text, p_secret text) RETURNS text
LANGUAGE sql SET search_path = public, pg_temp AS $$
    SELECT zp_installation_proof(p_kind, p_number, p_secret, false)
$$;

CREATE TABLE IF NOT EXISTS address_writes (
    kind      text NOT NULL,                    -- 'board' or 'ebook'
    address   text NOT NULL,
    began     timestamptz NOT NULL,             -- the start of the address's current window
    done      integer NOT NULL,                 -- writes in it
    PRIMARY KEY (kind, address)
);
CREATE INDEX IF NOT EXISTS address_writes_began ON address_writes (kind, began);

-- One more write of this kind from the address: false, and nothing counted, when it has made `most`
-- within the window already. Windows that ended are forgotten, so the table holds active addresses only.
CREATE OR REPLACE FUNCTION zp_address_may_write(p_kind text, p_address text, most integer, span interval)
RETURNS boolean
LANGUAGE plpgsql SET search_path = public, pg_temp AS $$
DECLARE
    counted integer;
BEGIN
    DELETE FROM address_writes WHERE kind = p_kind AND began < now() - span;
    INSERT INTO address_writes AS w (kind, address, began, done)
    VALUES (p_kind, coalesce(p_address, ''), now(), 1)
    ON CONFLICT (kind, address) DO UPDATE
       SET done = w.done + 1
     WHERE w.done < most
    RETURNING done INTO counted;
    RETURN counted IS NOT NULL;
END $$;
